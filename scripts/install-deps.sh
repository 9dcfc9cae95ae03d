#!/usr/bin/env bash
# Installs the Debian packages one kind of work on Qelvora needs. The sets build on each other:
#   run      build the program and open its window (scripts/run.sh)
#   test     run: and run the test suite (scripts/test.sh)
#   release  test: and build the Debian package and run the packaging and release checks
#            (CI, scripts/check-debian.sh)
# Usage: install-deps.sh run|test|release
# Idempotent: packages already present are skipped, and apt-get runs only when something is missing.
set -euo pipefail

run_packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-webengine-dev libgl-dev
  # Native Wayland: without it Qt falls back to X11 through Xwayland.
  qt6-wayland
  # Qt's own Chinese texts (the message boxes' buttons), which the program loads at start.
  qt6-translations-l10n
  # The Song-style face that stands in for "宋体".
  fonts-noto-cjk
)
test_packages=(
  # Every window test runs on a virtual X server of its own.
  xvfb xauth
  # Locale sources, from which a test builds a comma-decimal locale of its own.
  locales
  # Validators of the desktop entry and the AppStream metainfo.
  desktop-file-utils appstream
  # The window as a native Wayland client of a headless weston (tst_wayland_window).
  weston
  # A dark colour scheme handed over by qt6ct as the Qt platform theme (tst_colour_schemes).
  qt6ct
  # A session bus and an accessibility bus, as with a screen reader (tst_accessibility).
  dbus at-spi2-core
  # The Orca screen reader speaking into a file through speech-dispatcher, and real key
  # presses on the test's X server (tst_screen_reader).
  orca speech-dispatcher xdotool
  # The house habits: the sources' layout and the shell scripts are checked as tests.
  clang-format shellcheck
)
release_packages=(
  # The Debian package: dpkg-shlibdeps computes its dependencies, lintian checks it, and
  # scripts/check-debian.sh builds it in a fresh Debian root, installs it into another one and
  # drives the window there (git clones the tree into the root, ip brings up the loopback of
  # the private networks the tests and the draw run in).
  dpkg-dev lintian debootstrap xclip git iproute2
  # CPack's Debian generator reads the binaries' types with file(1) to compute dependencies.
  file
  # The Windows resource script is compiled with mingw-w64's windres, through cpp, against
  # mingw-w64's headers.
  binutils-mingw-w64-x86-64 cpp mingw-w64-common
)

case "${1:-}" in
  run) packages=("${run_packages[@]}") ;;
  test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
  release) packages=("${run_packages[@]}" "${test_packages[@]}" "${release_packages[@]}") ;;
  *)
    echo "usage: $0 run|test|release" >&2
    exit 2
    ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#packages[@]} packages of the $1 set present"
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  sudo=sudo
else
  sudo=
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
