#!/bin/sh
# Runs a command on a virtual X server of its own and ends the server after it. CTest runs tests
# side by side, and two windows on one display without a window manager fight over activation,
# so every window test gets a display that no other test sees. Xvfb picks a free display number
# itself and writes it to a descriptor once it accepts clients (-displayfd): no guessing of
# numbers, no race between servers started at the same moment.
# Usage: own_display.sh <command> [<argument>...]
set -u
# Not under TMPDIR: a test may give its program a temporary folder that must stay empty.
scratch=$(mktemp -d /tmp/qelvora-display.XXXXXX) || exit 1
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$scratch/display" \
    >"$scratch/xvfb.log" 2>&1 &
server=$!
finish() {
    kill "$server" 2>/dev/null
    wait "$server" 2>/dev/null
    rm -rf "$scratch"
}
trap 'finish; exit 130' INT
trap 'finish; exit 143' TERM

# The number comes as one line; give a slow machine ten seconds.
display=
tries=0
while [ -z "$display" ] && [ "$tries" -lt 200 ]; do
    if ! kill -0 "$server" 2>/dev/null; then
        echo "own_display.sh: Xvfb ended before it opened a display:" >&2
        cat "$scratch/xvfb.log" >&2
        finish
        exit 1
    fi
    display=$(head -n 1 "$scratch/display")
    [ -n "$display" ] || sleep 0.05
    tries=$((tries + 1))
done
if [ -z "$display" ]; then
    echo "own_display.sh: Xvfb opened no display within ten seconds" >&2
    finish
    exit 1
fi

# The window goes to this server also from a Wayland desktop.
unset WAYLAND_DISPLAY
DISPLAY=":$display" "$@"
status=$?
finish
exit "$status"
