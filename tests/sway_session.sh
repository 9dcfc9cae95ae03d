#!/bin/sh
# Runs one program as a native Wayland client of a sway of its own: headless (no display or GPU
# needed), in a runtime folder of its own, so that it meets no other compositor and no X server.
# The program gets WAYLAND_DISPLAY and SWAYSOCK, so that it can ask sway (swaymsg) how it lays
# its windows out. Sway is ended when the program has ended, however it ended; the program's
# exit status is the script's. Without sway the script exits with 77, which CTest reads as a
# skipped test.
# Usage: sway_session.sh <scratch folder> <program> [arguments...]
set -u
scratch=$1
shift

if ! command -v sway >/dev/null 2>&1 || ! command -v swaymsg >/dev/null 2>&1; then
    echo "SKIP: sway not found; install the Debian packages sway and qt6-wayland"
    exit 77
fi

# As root, sway runs in a user namespace of its own (below), which the kernel does not give a
# process inside a chroot (such as the roots scripts/check-debian.sh tries the tree in).
if [ "$(id -u)" -eq 0 ] && ! unshare --user --map-user=1000 --map-group=1000 true 2>/dev/null; then
    echo "SKIP: no user namespace can be made here (a chroot?), and sway refuses to run as root"
    exit 77
fi

rm -rf "$scratch" && mkdir -p "$scratch/runtime" || exit 1
# The Wayland libraries refuse a runtime folder that others can read.
chmod 700 "$scratch/runtime"
runtime="$scratch/runtime"

# One output of 1024 x 768: four tiled windows side by side get 256 px each. No Xwayland: the
# program is to be a native client.
cat >"$scratch/config" <<'EOF'
xwayland disable
output HEADLESS-1 resolution 1024x768 position 0 0
EOF

# Sway refuses to run as root. As root it runs as user 1000 of a user namespace of its own,
# which is root outside it, so the program (root) may still use its sockets.
start_sway() {
    export XDG_RUNTIME_DIR="$runtime" WLR_BACKENDS=headless WLR_RENDERER=pixman \
        WLR_LIBINPUT_NO_DEVICES=1
    unset DISPLAY WAYLAND_DISPLAY SWAYSOCK
    if [ "$(id -u)" -eq 0 ]; then
        exec unshare --user --map-user=1000 --map-group=1000 sway -c "$scratch/config"
    fi
    exec sway -c "$scratch/config"
}
start_sway >"$scratch/sway.log" 2>&1 &
sway_pid=$!
trap 'kill "$sway_pid" 2>/dev/null; wait "$sway_pid" 2>/dev/null' EXIT
trap 'exit 1' INT TERM

# Sway names its sockets itself: the only ones in this private folder are its own. A loaded
# machine gets twenty seconds.
socket=
ipc=
tries=0
while :; do
    for f in "$runtime"/wayland-*; do
        case $f in *.lock) ;; *) [ -S "$f" ] && socket=${f##*/} ;; esac
    done
    for f in "$runtime"/sway-ipc.*.sock; do
        [ -S "$f" ] && ipc=$f
    done
    if [ -n "$socket" ] && [ -n "$ipc" ] && SWAYSOCK="$ipc" swaymsg -t get_version >/dev/null 2>&1; then
        break
    fi
    if ! kill -0 "$sway_pid" 2>/dev/null || [ "$tries" -ge 200 ]; then
        echo "FAIL: sway did not start"
        sed 's/^/    | /' "$scratch/sway.log"
        exit 1
    fi
    tries=$((tries + 1))
    sleep 0.1
done

# Wayland only: without DISPLAY nothing can fall back to X11.
env -u DISPLAY XDG_RUNTIME_DIR="$runtime" QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY="$socket" \
    SWAYSOCK="$ipc" "$@"
status=$?
if [ "$status" -ne 0 ]; then
    echo "The program ended with status $status; the compositor's log:"
    sed 's/^/    | /' "$scratch/sway.log"
fi
exit "$status"
