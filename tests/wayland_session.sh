#!/bin/sh
# Runs one program as a native Wayland client of a weston of its own: headless (no display
# needed), on a socket and in a runtime folder of its own, so that it meets no other compositor
# and no X server. Weston is ended when the program has ended, however it ended; the program's
# exit status is the script's.
# Usage: wayland_session.sh <scratch folder> <program> [arguments...]
set -u
scratch=$1
shift

if ! command -v weston >/dev/null 2>&1; then
    echo "FAIL: weston not found; install the Debian packages weston and qt6-wayland"
    exit 1
fi

rm -rf "$scratch" && mkdir -p "$scratch/runtime" || exit 1
# The Wayland libraries refuse a runtime folder that others can read.
chmod 700 "$scratch/runtime"
export XDG_RUNTIME_DIR="$scratch/runtime"
socket=qelvora-test

weston --backend=headless-backend.so --socket="$socket" --no-config --idle-time=0 \
    --log="$scratch/weston.log" &
weston_pid=$!
trap 'kill "$weston_pid" 2>/dev/null; wait "$weston_pid" 2>/dev/null' EXIT
trap 'exit 1' INT TERM

tries=0
until [ -S "$XDG_RUNTIME_DIR/$socket" ]; do
    if ! kill -0 "$weston_pid" 2>/dev/null || [ "$tries" -ge 100 ]; then
        echo "FAIL: weston did not start"
        sed 's/^/    | /' "$scratch/weston.log"
        exit 1
    fi
    tries=$((tries + 1))
    sleep 0.1
done

# Wayland only: without DISPLAY nothing can fall back to X11.
env -u DISPLAY QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY="$socket" "$@"
status=$?
if [ "$status" -ne 0 ]; then
    echo "The program ended with status $status; the compositor's log:"
    sed 's/^/    | /' "$scratch/weston.log"
fi
exit "$status"
