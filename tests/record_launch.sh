#!/bin/sh
# Stands in for a program that the program under test must never start (xdg-open, dbus-launch,
# a web browser, ...): records the start, with the name it was started under and its arguments,
# in $QELVORA_LAUNCH_LOG, and fails.
printf '%s %s\n' "$(basename "$0")" "$*" >>"${QELVORA_LAUNCH_LOG:-/dev/null}"
exit 1
