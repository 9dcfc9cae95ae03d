#!/usr/bin/env bash
# Checks the committed tree (HEAD of this repository) on a fresh minimal Debian of the given
# release, as a new user would meet it there:
#   1. debootstrap --variant=minbase SUITE into a new root and clone the tree into it;
#   2. install what the README's commands need (scripts/install-deps.sh release: the test set
#      and what the package needs), then run the README's test command, ./scripts/test.sh, as
#      root inside the root; a compiler or CMake warning fails it too;
#   3. build the Debian package there (cmake --workflow --preset package);
#   4. debootstrap a second fresh root of the same release, apt-get install ./qelvora_*.deb into
#      it, and run one manual draw through the real button as a normal user with the web
#      engine's sandbox on; the log entry must appear, the engine's processes must be sandboxed
#      and the program must print nothing (but the engine's own line noted at draw_once).
# Prints one line per step with its duration; each step's output is kept in
# build/check-debian-SUITE/ and the end of a failing step's log is printed. The roots live under
# /var/tmp and are removed at the end, whatever happens.
#
# Usage: scripts/check-debian.sh bookworm|trixie|forky
# forky is Debian testing (Qt 6.11, GCC 16, CMake 4): the check for anyone changing code, since
# what warns or prints there first is what the next stable release will ship. Debian 12's
# debootstrap has no script of its own for it and bootstraps it with sid's. The archive serving
# testing may be a snapshot whose Release file is past its Valid-Until date: for forky only, apt
# in both roots is told to accept that (Acquire::Check-Valid-Until "false"), and the check says
# so when it starts. debootstrap itself checks the Release file's signature, not its date, and
# needs no such switch.
# Needs root (debootstrap, chroot, mounts) and network access to Debian's archive; debootstrap's
# and apt's defaults reach it, no mirror is named here. Downloaded packages are kept between
# runs in /var/cache/qelvora-check/SUITE/archives (QELVORA_CHECK_CACHE replaces
# /var/cache/qelvora-check), which makes a second run much faster; the folder can be deleted at
# any time.
set -euo pipefail

suite=${1:-}
case "$suite" in
  bookworm | trixie | forky) ;;
  *) echo "usage: $0 bookworm|trixie|forky" >&2; exit 2 ;;
esac
if [ "$(id -u)" -ne 0 ]; then
  echo "check-debian: run as root (debootstrap, chroot and mounts need it)" >&2
  exit 2
fi

repo=$(cd "$(dirname "$0")/.." && pwd)
head=$(git -C "$repo" rev-parse HEAD)
cache_base=${QELVORA_CHECK_CACHE:-/var/cache/qelvora-check}
cache=$cache_base/$suite/archives
logs=$repo/build/check-debian-$suite
retries=5
title='Qelvora—双色球摇奖测试工具'
me="check-debian $suite"

# The host's own tools: debootstrap, Xvfb, xdotool and xclip among them.
bash "$repo/scripts/install-deps.sh" release > /dev/null

mkdir -p "$cache"
# One check of a release at a time: both would use the same package cache.
exec 9> "$cache_base/$suite.lock"
if ! flock -n 9; then
  echo "$me: another check of $suite is running (lock $cache_base/$suite.lock)" >&2
  exit 1
fi
rm -rf "$logs"
mkdir -p "$logs"
work=$(mktemp -d /var/tmp/qelvora-check-"$suite".XXXXXX)
chmod 755 "$work" # the roots below become the top directories of new systems

# wget (debootstrap's downloader) retries as apt does with Acquire::Retries, also when the
# host cannot be resolved or refuses the connection.
cat > "$work/wgetrc" << EOF
tries = $retries
waitretry = 10
retry_connrefused = on
retry_on_host_error = on
EOF
export WGETRC=$work/wgetrc

# Lines by which apt and debootstrap say that the archive could not be reached.
unreachable='Failed to fetch|Could not resolve|Temporary failure resolving|Unable to connect|Could not connect|Connection failed|Connection timed out|Network is unreachable|Failed getting release file|Couldn.t download|unable to resolve host'

step_pid=
descendants() { local c; for c in $(pgrep -P "$1" || true); do descendants "$c"; echo "$c"; done; }
stop_tree() { # <pid>: ends the process and everything it started, children first
  local p pids
  pids="$(descendants "$1") $1"
  for p in $pids; do kill -TERM "$p" 2> /dev/null || true; done
  sleep 1
  for p in $pids; do kill -KILL "$p" 2> /dev/null || true; done
}
unmount_below() { # <dir>: everything mounted on or below it, deepest first
  local m
  awk -v r="$1" '$2 == r || index($2, r "/") == 1 { print $2 }' /proc/mounts | sort -r |
    while read -r m; do umount -l "$m" || true; done
}
remove_root() { # <dir>
  [ -d "$1" ] || return 0
  unmount_below "$1"
  # The package cache and the X socket folder are bound in from the same file system, where
  # rm --one-file-system would not stop: never remove a tree that still has a mount in it.
  if awk -v r="$1" '$2 == r || index($2, r "/") == 1 { found = 1 } END { exit !found }' /proc/mounts; then
    echo "$me: $1 still has mounts below it; left in place" >&2
    return 1
  fi
  rm -rf --one-file-system "$1"
}
cleanup() {
  local rc=$?
  set +e
  trap - EXIT INT TERM
  [ -n "$step_pid" ] && stop_tree "$step_pid"
  if remove_root "$work/build-root" && remove_root "$work/install-root"; then
    rm -rf --one-file-system "$work"
  else
    echo "$me: $work left in place; unmount what is below it, then remove it" >&2
  fi
  exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# step <log name> <label> <command...>: runs the command (a function of this script, with
# errexit on) with its output in the step's log and prints one line with its duration; on
# failure, says whether the archive was out of reach (for the steps that download), prints the
# log's end and exits.
n=0
step() {
  local name=$1 label=$2 start=$SECONDS rc=0 log
  shift 2
  n=$((n + 1))
  log=$logs/$n-$name.log
  set +e
  (set -e; "$@") > "$log" 2>&1 < /dev/null &
  step_pid=$!
  wait "$step_pid"
  rc=$?
  step_pid=
  set -e
  if [ "$rc" -eq 0 ]; then
    echo "$me: $label $((SECONDS - start)) s OK"
    return 0
  fi
  echo "$me: $label $((SECONDS - start)) s FAILED (exit $rc, log $log)"
  if [[ $name == debootstrap-* || $name == install* ]] && grep -Eqi "$unreachable" "$log"; then
    echo "$me: Debian's archive could not be reached (downloads were retried $retries times), so the check could not run to its end"
  fi
  echo "--- last 40 lines of $log:"
  tail -n 40 "$log"
  exit 1
}

in_root() { # <root> <command...>: as root inside the root, with a new login's environment
  local root=$1
  shift
  chroot "$root" env -i HOME=/root USER=root LOGNAME=root PATH=/usr/sbin:/usr/bin:/sbin:/bin \
    LANG=C.UTF-8 TERM=dumb DEBIAN_FRONTEND=noninteractive "$@"
}

# debootstrap's script for the release: testing has none in Debian 12's debootstrap and is
# bootstrapped as sid is (the empty mirror argument keeps debootstrap's default archive).
bootstrap_script=()
[ "$suite" = forky ] && bootstrap_script=("" /usr/share/debootstrap/scripts/sid)

make_root() { # <root>
  local root=$1
  mkdir -m 755 "$root"
  debootstrap --variant=minbase --cache-dir="$cache" "$suite" "$root" "${bootstrap_script[@]}"
  mount -t proc proc "$root/proc"
  mount -t sysfs sys "$root/sys"
  mount --bind /dev "$root/dev"
  mount --bind /dev/pts "$root/dev/pts"
  mount -t tmpfs -o mode=1777 shm "$root/dev/shm"
  mount --bind "$cache" "$root/var/cache/apt/archives"
  cp -L /etc/resolv.conf "$root/etc/resolv.conf"
  printf 'Acquire::Retries "%s";\n' "$retries" > "$root/etc/apt/apt.conf.d/80qelvora-check"
  if [ "$suite" = forky ]; then
    echo 'Acquire::Check-Valid-Until "false";' >> "$root/etc/apt/apt.conf.d/80qelvora-check"
    echo "apt accepts a Release file past its Valid-Until date (testing may be served from a snapshot)"
  fi
  echo "root $root ready"
}

clone_tree() {
  git clone --quiet "$repo" "$work/build-root/src"
  git -C "$work/build-root/src" checkout --quiet --detach "$head"
  git -C "$work/build-root/src" log -1 --format='%h %s'
}

install_deps() {
  in_root "$work/build-root" sh -c 'cd /src && bash scripts/install-deps.sh release'
}

# The suite runs in a network namespace of its own: no network (the tests need none; the
# packages are in place), and its own loopback and X server sockets, so that the virtual X
# server the test script starts in the root can meet no other one on this machine.
run_tests() {
  unshare --net sh -c 'ip link set lo up && exec "$@"' sh \
    chroot "$work/build-root" env -i HOME=/root USER=root LOGNAME=root \
    PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 TERM=dumb \
    sh -c 'cd /src && ./scripts/test.sh' | tee "$work/test-output"
  if grep -E ': warning:|^CMake Warning' "$work/test-output"; then
    echo "FAIL: the compiler or CMake warned (above)"
    exit 1
  fi
}

build_package() {
  in_root "$work/build-root" sh -c 'cd /src && cmake --workflow --preset package'
  cp "$work"/build-root/src/build/package/qelvora_*.deb "$work/"
  ls -l "$work"/qelvora_*.deb
}

install_package() {
  local root=$work/install-root
  cp "$work/$deb" "$root/tmp/"
  in_root "$root" apt-get update -q
  # Without recommended packages: the package's own dependencies must be enough.
  in_root "$root" sh -c "cd /tmp && apt-get install -y -q --no-install-recommends ./$deb"
  in_root "$root" dpkg-query -W qelvora fonts-noto-cjk qt6-translations-l10n
  in_root "$root" useradd --create-home --shell /bin/sh tester
  # A desktop session's runtime folder, which Qt expects and would otherwise warn about.
  # shellcheck disable=SC2016 # expanded by the root's shell
  in_root "$root" sh -c 'd=/run/user/$(id -u tester) && mkdir -p "$d" && chown tester: "$d" && chmod 700 "$d"'
}

# The draw step. It runs in network and mount namespaces of its own with a /tmp of its own, on
# a virtual X server that tests/support/own_display.sh starts there, as every window test gets
# one: that X server is the only one the program and the X tools can meet, it touches no other
# X server's files on this machine, and without network the panels fail their pages at once.
# draw_once does the draw in small steps; every wait polls for what it waits for, up to a time
# limit.

# What the draw finds on the window, placed as the program lays its window out (app/form1.cpp:
# left, top, width and height in twips, 15 to a pixel). The window is found by its title, and
# the places are taken from its own geometry, whose size must be the client area's.
client_twips='7710 9135'
draw_button_twips='240 3600 2055 495' # 手动摇奖
log_box_twips='600 4440 6540 3135'
# The log box after one manual draw: the draw's one entry, padded to the box's line length.
entry_pattern='^第1次开奖结果:  [0-9]{2}-[0-9]{2}-[0-9]{2}-[0-9]{2}-[0-9]{2}-[0-9]{2}  \+  [0-9]{2} {78}$'

wait_until() { # <seconds> <command...>: polls the command every 0.2 s until it succeeds
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.2
  done
}

share_display_with_root() { # the X server's socket, under the root's /tmp as well
  local root=$work/install-root
  mkdir -p "$root/tmp/.X11-unix"
  mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"
}

# chroot(2) alone would leave the program unable to make the user namespace the web engine's
# sandbox needs: the kernel refuses CLONE_NEWUSER to a process whose root is not its mount
# namespace's root. So the program runs in a mount namespace of its own whose root is the new
# tree (pivot_root), the way container runtimes do it; the sandbox stays on. Sets app_pid.
start_program() {
  local root=$work/install-root uid
  uid=$(chroot "$root" id -u tester)
  echo "start /usr/bin/qelvora as user tester on $DISPLAY (web engine sandbox on)"
  # shellcheck disable=SC2016 # the arguments are expanded by the shell in the new namespace
  unshare --mount --propagation private sh -c '
    set -e
    root=$1; display=$2; uid=$3
    mount --rbind "$root" "$root"
    cd "$root"
    mkdir -p .old-root
    pivot_root . .old-root
    umount -l /.old-root
    rmdir /.old-root
    exec chroot --userspec=tester:tester / env -i HOME=/home/tester USER=tester LOGNAME=tester \
      PATH=/usr/bin:/bin DISPLAY="$display" LANG=C.UTF-8 XDG_RUNTIME_DIR=/run/user/$uid \
      /usr/bin/qelvora
  ' sh "$root" "$DISPLAY" "$uid" > "$work/qelvora-output" 2>&1 &
  app_pid=$!
}

window_or_end() { # sets win once the window is shown; succeeds too when the program has ended
  win=$(xdotool search --onlyvisible --name "^${title}\$" 2> /dev/null | head -1)
  [ -n "$win" ] || ! kill -0 "$app_pid" 2> /dev/null
}

wait_for_window() {
  win=
  wait_until 30 window_or_end || true
  if [ -z "$win" ]; then
    echo "FAIL: no window \"$title\""
    cat "$work/qelvora-output"
    return 1
  fi
  echo "window $win is up"
}

# click_at <left> <top> <width> <height>: clicks the middle of a place on the window, given in
# twips, at screen coordinates taken from the window's geometry.
click_at() {
  local geometry x y width height client_width client_height
  geometry=$(xdotool getwindowgeometry --shell "$win")
  x=$(sed -n 's/^X=//p' <<< "$geometry")
  y=$(sed -n 's/^Y=//p' <<< "$geometry")
  width=$(sed -n 's/^WIDTH=//p' <<< "$geometry")
  height=$(sed -n 's/^HEIGHT=//p' <<< "$geometry")
  read -r client_width client_height <<< "$client_twips"
  if [ "$width" -ne $((client_width / 15)) ] || [ "$height" -ne $((client_height / 15)) ]; then
    echo "FAIL: the window is ${width}x$height, not the $((client_width / 15))x$((client_height / 15)) client area whose layout is known"
    return 1
  fi
  xdotool mousemove $((x + $1 / 15 + $3 / 15 / 2)) $((y + $2 / 15 + $4 / 15 / 2)) click 1
}

click_draw_button() {
  echo "click 手动摇奖 and wait for the log entry"
  # shellcheck disable=SC2086 # the place is four numbers
  click_at $draw_button_twips
}

# Copies the log box's text through the clipboard into log; on a busy machine a copy may come
# before the box has the focus, and then the next poll copies again.
copy_log_box() {
  # shellcheck disable=SC2086 # the place is four numbers
  click_at $log_box_twips || return 1
  sleep 0.3
  xdotool key --window "$win" ctrl+a ctrl+c
  sleep 0.3
  log=$(xclip -o -selection clipboard 2> /dev/null) || log=
}

log_entry_is_there() {
  copy_log_box && printf '%s' "$log" | grep -Eq "$entry_pattern"
}

wait_for_log_entry() {
  log=
  wait_until 30 log_entry_is_there || true
  printf 'log box: [%s]\n' "$log"
}

# The web engine's processes: the program's descendants with a --type= argument. A zygote and
# the processes it forks may rewrite their command line as one string, the arguments joined by
# spaces (the engine's arguments hold no spaces), so both forms are read. Writes one argument a
# line to $work/arguments.
engine_type() { # <pid>: prints the process's --type=, if it is one of the engine's
  # shellcheck disable=SC2020 # both separators become line ends
  tr '\0 ' '\n\n' < "/proc/$1/cmdline" > "$work/arguments" 2> /dev/null || return 1
  sed -n 's/^--type=//p' "$work/arguments" | head -1
}

renderer_is_up() {
  local p
  for p in $(descendants "$app_pid"); do
    [ "$(engine_type "$p")" = renderer ] && return 0
  done
  return 1
}

# None may run with --no-sandbox, and the sandboxed ones (the zygote and the pages' renderers)
# live in user namespaces of their own. Sets sandboxed and unsandboxed.
count_engine_processes() {
  local p type
  sandboxed=0
  unsandboxed=0
  wait_until 30 renderer_is_up || echo "no renderer process within 30 s"
  for p in $(descendants "$app_pid"); do
    type=$(engine_type "$p") || continue
    [ -n "$type" ] || continue
    printf 'pid %s type=%s user-ns=%s\n' "$p" "$type" "$(readlink "/proc/$p/ns/user")"
    if grep -qx -- '--no-sandbox' "$work/arguments"; then
      unsandboxed=$((unsandboxed + 1))
    elif [ "$(readlink "/proc/$p/ns/user")" != "$(readlink /proc/self/ns/user)" ]; then
      sandboxed=$((sandboxed + 1))
    fi
  done
  printf 'user namespace of the program: %s\n' "$(readlink /proc/self/ns/user)"
}

stop_program() {
  kill "$app_pid" 2> /dev/null || true
  wait "$app_pid" 2> /dev/null || true
}

judge_draw() {
  local failed=0
  if ! printf '%s' "$log" | grep -Eq "$entry_pattern"; then
    echo "FAIL: the log entry does not match $entry_pattern"
    failed=1
  fi
  if [ "$unsandboxed" -ne 0 ] || [ "$sandboxed" -eq 0 ]; then
    echo "FAIL: web engine processes with --no-sandbox: $unsandboxed; in user namespaces of their own: $sandboxed"
    failed=1
  fi
  # The web engine's sandboxed renderers cannot read fontconfig's configuration, and each says
  # so once when it builds the engine's own error page (the panels show it when a page cannot be
  # fetched, as here without network). The engine itself prints that, on Debian 12, 13 and
  # testing alike, and a program with nothing but a web view prints it too: noted, not failed.
  # Any other line fails.
  local engine_line='^Fontconfig error: Cannot load default config file: No such file: \(null\)$'
  if grep -Eq "$engine_line" "$work/qelvora-output"; then
    echo "note: the web engine's renderers printed $(grep -Ec "$engine_line" "$work/qelvora-output") fontconfig line(s) from their sandbox"
  fi
  if grep -Ev "$engine_line" "$work/qelvora-output" > "$work/qelvora-printed"; then
    echo "FAIL: the program printed:"
    sed 's/^/    | /' "$work/qelvora-printed"
    failed=1
  fi
  [ "$failed" -eq 0 ]
  echo "PASS: the installed package draws and logs, sandbox on, nothing else printed"
}

draw_once() { # on the X server of $DISPLAY
  local app_pid win log sandboxed unsandboxed
  share_display_with_root
  start_program
  trap stop_program EXIT # also when a step below fails
  wait_for_window
  click_draw_button
  wait_for_log_entry
  count_engine_processes
  stop_program
  judge_draw
}

# The draw's functions as one script for the bash that own_display.sh starts (sh passes no
# exported functions on).
draw_script="$(declare -f wait_until descendants share_display_with_root start_program \
  window_or_end wait_for_window click_at click_draw_button copy_log_box log_entry_is_there \
  wait_for_log_entry engine_type renderer_is_up count_engine_processes stop_program judge_draw \
  draw_once)
set -e
draw_once"
export work title client_twips draw_button_twips log_box_twips entry_pattern

start=$SECONDS
if [ "$suite" = forky ]; then
  echo "$me: apt in the roots accepts a Release file past its Valid-Until date (Acquire::Check-Valid-Until \"false\"): Debian testing may be served from a snapshot"
fi
step debootstrap-build-root "debootstrap (build root)" make_root "$work/build-root"
step clone "clone $(git -C "$repo" rev-parse --short "$head")" clone_tree
step install-deps "./scripts/install-deps.sh release" install_deps
step test "./scripts/test.sh" run_tests
step package "cmake --workflow --preset package" build_package
deb=$(cd "$work" && ls qelvora_*.deb)
# The build root is no longer needed; removing it now halves the space the check takes.
remove_root "$work/build-root"
step debootstrap-install-root "debootstrap (install root)" make_root "$work/install-root"
step install "apt-get install ./$deb" install_package
# own_display.sh is read before the fresh /tmp hides it, for the tree may itself lie under /tmp.
# shellcheck disable=SC2016 # the arguments are expanded by the shell in the new namespaces
step draw "manual draw as a normal user, sandbox on" \
  unshare --net --mount --propagation private sh -c '
    display=$(cat "$1/tests/support/own_display.sh") && ip link set lo up &&
      mount -t tmpfs -o mode=1777 tmp /tmp &&
      exec sh -c "$display" own_display.sh bash -c "$2"' sh "$repo" "$draw_script"
echo "$me: PASS in $((SECONDS - start)) s"
