#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite, two tests at a time, each
# window test on a virtual X server of its own. With CI=true it also installs the packaging and
# release tools, the build treats warnings as errors and runs the packaging checks, the soak
# test runs its full length, and the suite then runs a second time built with AddressSanitizer
# and UndefinedBehaviorSanitizer (QELVORA_SANITIZE=1 asks for that second run outside CI too);
# last, the committed tree is checked on a fresh Debian 13 root (scripts/check-debian.sh trixie).
set -euo pipefail
cd "$(dirname "$0")/.."

presets=(dev)
set="test"
if [ "${CI:-}" = "true" ]; then
  presets=(ci asan)
  set=release
elif [ "${QELVORA_SANITIZE:-}" = "1" ]; then
  presets=(dev asan)
fi

bash scripts/install-deps.sh "$set"

# The web engine refuses to run as root with its sandbox on; the tests run as whoever calls
# this script, so they switch it off for themselves.
export QTWEBENGINE_DISABLE_SANDBOX=1

for preset in "${presets[@]}"; do
  echo "== $preset: configure, build, test"
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  ctest --preset "$preset" "$@"
done

# On CI, what lands must also keep working on today's Debian stable release: the test command
# and the package in fresh Debian 13 roots. This machine's own release is what ran above.
if [ "${CI:-}" = "true" ]; then
  scripts/check-debian.sh trixie
fi
