#!/bin/sh
# What the real program prints on a terminal: nothing in normal operation, also when the web
# engine's sandbox is switched off with QTWEBENGINE_DISABLE_SANDBOX (as test environments and
# containers do); the web engine's report when a developer asks for it with QT_LOGGING_RULES;
# and exactly one line when the window's Song-style face is missing. Each run lasts long enough
# for the web engine to start and the panels to load or fail their pages, then the program is
# ended.
# Usage: program_output.sh <qelvora executable> <scratch folder>
set -u
program=$1
scratch=$2
seconds=${QELVORA_OUTPUT_SECONDS:-12}
rm -rf "$scratch" && mkdir -p "$scratch/runtime" "$scratch/fonts" || exit 1
chmod 700 "$scratch/runtime"
# A desktop session has its runtime folder; without one Qt itself would warn about it.
export XDG_RUNTIME_DIR="$scratch/runtime"
unset QT_LOGGING_RULES QT_LOGGING_CONF QTWEBENGINE_DISABLE_SANDBOX
# Every page request goes to a loopback port that refuses it: nothing leaves the machine, and
# the panels meet the same failure on every machine. As root the program adds its own switch
# to these flags.
export QTWEBENGINE_CHROMIUM_FLAGS="--proxy-server=127.0.0.1:9"
failed=0

run() { # <output file> [VAR=value ...]
    out=$1
    shift
    env "$@" timeout -s TERM "$seconds" "$program" >"$out" 2>&1
}

fail() {
    echo "FAIL: $1"
    sed 's/^/    | /' "$2"
    failed=1
}

run "$scratch/normal.txt"
[ -s "$scratch/normal.txt" ] && fail "the program printed in normal operation" "$scratch/normal.txt"

run "$scratch/nosandbox.txt" QTWEBENGINE_DISABLE_SANDBOX=1
[ -s "$scratch/nosandbox.txt" ] \
    && fail "the program printed with QTWEBENGINE_DISABLE_SANDBOX set" "$scratch/nosandbox.txt"

# The whole category, every level: the report is an info message in Qt 6.4, a debug message in
# Qt 6.8.
run "$scratch/asked.txt" "QT_LOGGING_RULES=qt.webenginecontext=true;js=true"
grep -q '^qt.webenginecontext:' "$scratch/asked.txt" \
    || fail "QT_LOGGING_RULES did not bring the web engine's report back" "$scratch/asked.txt"

cat >"$scratch/fonts/fonts.conf" <<'CONF'
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig><cachedir>FONTCACHE</cachedir></fontconfig>
CONF
sed -i "s|FONTCACHE|$scratch/fonts/cache|" "$scratch/fonts/fonts.conf"
run "$scratch/nofont.txt" "FONTCONFIG_FILE=$scratch/fonts/fonts.conf"
expected='qelvora: no Song-style font for "宋体" (Noto Serif CJK SC or AR PL UMing CN) is installed; the window'"'"'s Chinese texts will not show. Install the Debian package fonts-noto-cjk.'
printf '%s\n' "$expected" >"$scratch/nofont.expected"
cmp -s "$scratch/nofont.txt" "$scratch/nofont.expected" \
    || fail "without fonts the output is not exactly the one warning line" "$scratch/nofont.txt"

[ "$failed" = 0 ] && echo "PASS: silent, also with the sandbox variable; report on request; one line without the face"
exit "$failed"
