#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Qelvora need.
# Idempotent: packages already present are skipped, and apt-get runs only when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-webengine-dev qt6-translations-l10n libgl-dev
  xvfb xauth xdotool
  fonts-noto-cjk
  # Locale sources, from which a test builds a comma-decimal locale of its own.
  locales
  desktop-file-utils appstream
  # The Debian package: dpkg-shlibdeps computes its dependencies, lintian checks it, and
  # scripts/check-debian.sh builds it in a fresh Debian root, installs it into another one and
  # drives the window there (git clones the tree into the root, ip brings up the loopback of
  # the private networks the tests and the draw run in).
  dpkg-dev lintian debootstrap xclip git iproute2
  # The Windows resource script is compiled with mingw-w64's windres, through cpp, against
  # mingw-w64's headers.
  binutils-mingw-w64-x86-64 cpp mingw-w64-common
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#packages[@]} packages present"
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
