#!/usr/bin/env bash
# Builds the Debian package, installs it into a fresh minimal Debian 12 root with apt-get (which
# fetches its dependencies from Debian's archive), starts the installed program there as a
# normal user with the web engine's sandbox on, runs one manual draw through the real button
# and checks the log entry. The root is removed again at the end, whatever happens.
# Needs root (debootstrap, mounts) and network access to deb.debian.org; takes several minutes.
set -euo pipefail
cd "$(dirname "$0")/.."

mirror=http://deb.debian.org/debian
title='Qelvora—双色球摇奖测试工具'

bash scripts/install-deps.sh release
cmake --workflow --preset package
deb=$(ls build/package/qelvora_*.deb)
echo "== package: $deb"

root=$(mktemp -d /tmp/qelvora-root.XXXXXX)
chmod 755 "$root"  # the root directory of the new system; mktemp makes it 0700
xvfb_pid=
app_pid=
cleanup() {
  set +e
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null && wait "$app_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  # Everything mounted below the root, deepest first.
  for m in $(awk -v r="$root" '$2 == r || index($2, r "/") == 1 { print $2 }' /proc/mounts | sort -r); do
    umount -l "$m"
  done
  rm -rf --one-file-system "$root"
  echo "== removed $root"
}
trap cleanup EXIT

echo "== debootstrap bookworm into $root"
debootstrap --variant=minbase bookworm "$root" "$mirror" > "$root.debootstrap.log" 2>&1 \
  || { tail -20 "$root.debootstrap.log"; exit 1; }
rm -f "$root.debootstrap.log"

mount -t proc proc "$root/proc"
mount -t sysfs sys "$root/sys"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
mount -t tmpfs -o mode=1777 shm "$root/dev/shm"
cp /etc/resolv.conf "$root/etc/resolv.conf"

echo "== apt-get install ./$(basename "$deb")"
cp "$deb" "$root/tmp/"
chroot "$root" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
  "./tmp/$(basename "$deb")" > "$root/tmp/apt.log" 2>&1 || { tail -30 "$root/tmp/apt.log"; exit 1; }
grep -E '^(Need to get|After this operation|[0-9]+ upgraded)' "$root/tmp/apt.log"
chroot "$root" dpkg-query -W qelvora fonts-noto-cjk qt6-translations-l10n libqt6webenginecore6
chroot "$root" useradd --create-home --shell /bin/sh tester

# The X server runs outside; its socket directory is shared into the root.
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp > /dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
mkdir -p "$root/tmp/.X11-unix"
mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"

# chroot(2) alone would leave the program unable to make the user namespace the web engine's
# sandbox needs: the kernel refuses CLONE_NEWUSER to a process whose root is not its mount
# namespace's root. So the program runs in a mount namespace of its own whose root is the new
# tree (pivot_root), the way container runtimes do it; the sandbox stays on.
echo "== start /usr/bin/qelvora as user tester on $display (web engine sandbox on)"
unshare --mount --propagation private sh -c '
  set -e
  root=$1; display=$2
  mount --rbind "$root" "$root"
  cd "$root"
  mkdir -p .old-root
  pivot_root . .old-root
  umount -l /.old-root
  rmdir /.old-root
  exec chroot --userspec=tester:tester / env -i HOME=/home/tester USER=tester LOGNAME=tester \
    PATH=/usr/bin:/bin DISPLAY="$display" LANG=C.UTF-8 /usr/bin/qelvora
' sh "$root" "$display" > "$root/tmp/qelvora.log" 2>&1 &
app_pid=$!

export DISPLAY=$display
win=
for _ in $(seq 150); do
  win=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -1) && [ -n "$win" ] && break
  kill -0 "$app_pid" 2>/dev/null || break
  sleep 0.2
done
if [ -z "$win" ]; then
  echo "FAIL: no window \"$title\""; cat "$root/tmp/qelvora.log"; exit 1
fi
echo "== window $win is up"
echo "== click 手动摇奖 and wait for the draw"
xdotool mousemove --window "$win" 84 256 click 1
sleep 8
# Copy the log box's text through the clipboard; on a busy machine the first copy may come
# before the box has the focus, so try a few times.
log=
for _ in 1 2 3 4 5; do
  xdotool mousemove --window "$win" 258 400 click 1
  sleep 0.5
  xdotool key --window "$win" ctrl+a ctrl+c
  sleep 0.5
  log=$(xclip -o -selection clipboard 2>/dev/null) && [ -n "$log" ] && break
done
echo "== web engine processes (a sandboxed zygote and its children get user namespaces of their own):"
descendants() { local c; for c in $(pgrep -P "$1" || true); do echo "$c"; descendants "$c"; done; }
for p in $(descendants "$app_pid"); do
  type=$(tr '\0' '\n' < /proc/$p/cmdline | sed -n 's/^--type=//p' | head -1)
  sandbox=on; tr '\0' '\n' < /proc/$p/cmdline | grep -qx -- '--no-sandbox' && sandbox=off
  printf 'pid %s type=%s --no-sandbox:%s user-ns=%s (program: %s)\n' "$p" "${type:-?}" \
    "$([ $sandbox = off ] && echo yes || echo no)" "$(readlink /proc/$p/ns/user)" \
    "$(readlink /proc/$app_pid/ns/user)"
done
printf 'log box: [%s]\n' "$log"

pattern='^第1次开奖结果:  [0-9]{2}-[0-9]{2}-[0-9]{2}-[0-9]{2}-[0-9]{2}-[0-9]{2}  \+  [0-9]{2} {78}$'
if printf '%s' "$log" | grep -Eq "$pattern"; then
  echo "PASS: the installed package draws and logs in a fresh Debian 12 root"
else
  echo "FAIL: log entry does not match $pattern"
  echo "-- program output:"; cat "$root/tmp/qelvora.log"
  exit 1
fi
echo "-- program output:"; cat "$root/tmp/qelvora.log"
