#!/bin/sh
# The C++ sources keep the style that .clang-format describes. clang-format lays code out a little
# differently from one major version to the next; .clang-format was written against the one
# Debian 12 ships (14), so with another version the check says so and is skipped rather than
# failing on a layout that only that version prefers.
# Usage: format_check.sh <source tree>
set -u
cd "$1" || exit 1
wanted=14
version=$(clang-format --version 2> /dev/null | sed -n 's/.*clang-format version \([0-9]*\).*/\1/p')
if [ -z "$version" ]; then
  echo "format_check: clang-format not found (install the Debian package clang-format)"
  exit 1
fi
if [ "$version" != "$wanted" ]; then
  echo "format_check: clang-format $version, not $wanted, whose layout .clang-format describes: skipped"
  exit 77
fi
if ! files=$(git ls-files '*.cpp' '*.h' 2> /dev/null) || [ -z "$files" ]; then
  files=$(find app access control engine panels start tests bench -name '*.cpp' -o -name '*.h')
fi
# shellcheck disable=SC2086 # one argument per file; no file name has a blank
clang-format --dry-run --Werror $files && echo "format_check: $(echo "$files" | wc -l) files keep the style"
