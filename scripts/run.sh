#!/usr/bin/env bash
# Installs what building and running need when it is missing, builds the program and starts
# its window.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh run
cmake --preset release
cmake --build --preset release

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found (neither DISPLAY nor WAYLAND_DISPLAY is set), so the window cannot open." >&2
  echo "Run it on a desktop session, or under a virtual X server (Debian package xvfb):" >&2
  echo "  xvfb-run -a build/release/qelvora" >&2
  exit 1
fi
exec build/release/qelvora
