#!/bin/sh
# The program's own options answer on the terminal and exit without a display: --help and -h
# print the usage, --version and -v the version, also after one of Qt's options.
# Usage: program_command_line.sh <program> <version>
set -u
program=$1
version=$2
failures=0

fail() {
  echo "program_command_line: $*" >&2
  failures=$((failures + 1))
}

# expect <what the output starts with> <arguments...>
expect() {
  start=$1
  shift
  if ! out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" "$@" 2>&1); then
    fail "qelvora $* exited non-zero: $out"
    return
  fi
  case $out in
    "$start"*) ;;
    *) fail "qelvora $* printed: $out" ;;
  esac
}

expect "Usage: qelvora" --help
expect "Usage: qelvora" -h
expect "qelvora $version" --version
expect "qelvora $version" -v
expect "qelvora $version" -platform offscreen --version
[ "$(env -u DISPLAY "$program" --version 2>&1)" = "qelvora $version" ] || fail "--version printed more than its line"

[ "$failures" -eq 0 ] || exit 1
echo "program_command_line: passed"
