#!/bin/sh
# Every shell script of the project passes shellcheck, at every severity.
# Usage: shellcheck.sh <source tree>
set -u
cd "$1" || exit 1
if ! command -v shellcheck > /dev/null; then
  echo "shellcheck: not found (install the Debian package shellcheck)"
  exit 1
fi
if ! files=$(git ls-files '*.sh' .ci/run 2> /dev/null) || [ -z "$files" ]; then
  files=$(find scripts tests .ci -name '*.sh' -o -name run)
fi
# shellcheck disable=SC2086 # one argument per file; no file name has a blank
shellcheck --external-sources $files && echo "shellcheck: $(echo "$files" | wc -l) scripts pass"
