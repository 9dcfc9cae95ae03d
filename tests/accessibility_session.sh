#!/bin/sh
# Runs one program as it runs while a screen reader is running: with a session bus and an
# accessibility bus of its own (at-spi2-core's bus launcher), so that Qt serves assistive
# technology from the program's start. Both buses end with the program; the program's exit
# status is the script's.
# Usage: accessibility_session.sh <scratch folder> <program> [arguments...]
set -u
launcher=/usr/libexec/at-spi-bus-launcher

if [ "${1:-}" = --inside-session ]; then
    shift
    scratch=$1
    shift
    "$launcher" --launch-immediately &
    launcher_pid=$!
    trap 'kill "$launcher_pid" 2>/dev/null; wait "$launcher_pid" 2>/dev/null' EXIT
    trap 'exit 1' INT TERM
    tries=0
    until dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
            org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null \
            | grep -q 'boolean true'; do
        if ! kill -0 "$launcher_pid" 2>/dev/null || [ "$tries" -ge 100 ]; then
            echo "FAIL: the accessibility bus did not start"
            exit 1
        fi
        tries=$((tries + 1))
        sleep 0.1
    done
    # Qt serves the bus as soon as it is there, without waiting for a screen reader to ask.
    QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$@"
    exit $?
fi

scratch=$1
shift
for tool in dbus-run-session dbus-send "$launcher"; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "FAIL: $tool not found; install the Debian packages dbus and at-spi2-core"
        exit 1
    fi
done
rm -rf "$scratch" && mkdir -p "$scratch/runtime" || exit 1
chmod 700 "$scratch/runtime"
export XDG_RUNTIME_DIR="$scratch/runtime"
# Qt would connect to a bus named here instead of announcing itself on the session bus.
unset AT_SPI_BUS_ADDRESS
exec dbus-run-session -- sh "$0" --inside-session "$scratch" "$@"
