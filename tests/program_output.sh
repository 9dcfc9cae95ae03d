#!/bin/sh
# What the real program prints on a terminal: nothing in normal operation, also when the web
# engine's sandbox is switched off with QTWEBENGINE_DISABLE_SANDBOX (as test environments and
# containers do) and when Chromium logs an error of its own; the web engine's report and
# Chromium's log when a developer asks for them (QT_LOGGING_RULES, --log-level=0); and exactly one line when the window's Song-style face is missing. Each run lasts until the
# web engine has started and both panels have failed their pages, and some more, then the
# program is ended. The run that asks for the report goes first and ends as soon as the report
# and the two panels' console lines are there; the time that took on this machine sets the
# length of the others (three times as long, at least 3 s), and a run never lasts longer than
# QELVORA_OUTPUT_SECONDS (12).
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
# Chromium logs an error of its own now and then in normal operation; a host rule it cannot
# parse makes it log one at every start, which must stay off the terminal as well.
bad_rule="--host-resolver-rules=unparsable"
failed=0

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# Runs the program with its output in a file until it ends, until the given milliseconds have
# passed or until the command in $until succeeds, whichever comes first; sets elapsed_ms.
until=false
run() { # <output file> <milliseconds> [VAR=value ...]
    out=$1
    run_ms=$2
    shift 2
    env "$@" "$program" >"$out" 2>&1 &
    pid=$!
    started=$(now_ms)
    while kill -0 "$pid" 2>/dev/null && [ $(($(now_ms) - started)) -lt "$run_ms" ]; do
        $until && break
        sleep 0.1
    done
    elapsed_ms=$(($(now_ms) - started))
    kill -TERM "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
}

fail() {
    echo "FAIL: $1"
    sed 's/^/    | /' "$2"
    failed=1
}

limit_ms=$((seconds * 1000))
# shellcheck disable=SC2317,SC2329 # called through $until
asked_done() {
    grep -q '^qt.webenginecontext:' "$scratch/asked.txt" \
        && [ "$(grep -c '^js:' "$scratch/asked.txt")" -ge 2 ] \
        && grep -q 'ERROR:.*unparsable' "$scratch/asked.txt"
}
until=asked_done
# The whole category, every level: the report is an info message in Qt 6.4, a debug message in
# Qt 6.8. And Chromium's own log at every level.
run "$scratch/asked.txt" "$limit_ms" "QT_LOGGING_RULES=qt.webenginecontext=true;js=true" \
    "QTWEBENGINE_CHROMIUM_FLAGS=$QTWEBENGINE_CHROMIUM_FLAGS $bad_rule --log-level=0"
until=false
grep -q '^qt.webenginecontext:' "$scratch/asked.txt" \
    || fail "QT_LOGGING_RULES did not bring the web engine's report back" "$scratch/asked.txt"
grep -q 'ERROR:.*unparsable' "$scratch/asked.txt" \
    || fail "--log-level=0 did not bring Chromium's log back" "$scratch/asked.txt"
span_ms=$((elapsed_ms * 3))
[ "$span_ms" -ge 3000 ] || span_ms=3000
[ "$span_ms" -le "$limit_ms" ] || span_ms=$limit_ms
echo "report and both panels' pages after $elapsed_ms ms; the other runs last $span_ms ms"

run "$scratch/normal.txt" "$span_ms" "QTWEBENGINE_CHROMIUM_FLAGS=$QTWEBENGINE_CHROMIUM_FLAGS $bad_rule"
[ -s "$scratch/normal.txt" ] && fail "the program printed in normal operation" "$scratch/normal.txt"

run "$scratch/nosandbox.txt" "$span_ms" QTWEBENGINE_DISABLE_SANDBOX=1
[ -s "$scratch/nosandbox.txt" ] \
    && fail "the program printed with QTWEBENGINE_DISABLE_SANDBOX set" "$scratch/nosandbox.txt"

cat >"$scratch/fonts/fonts.conf" <<'CONF'
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig><cachedir>FONTCACHE</cachedir></fontconfig>
CONF
sed -i "s|FONTCACHE|$scratch/fonts/cache|" "$scratch/fonts/fonts.conf"
run "$scratch/nofont.txt" "$span_ms" "FONTCONFIG_FILE=$scratch/fonts/fonts.conf"
expected='qelvora: no Song-style font for "宋体" (Noto Serif CJK SC or AR PL UMing CN) is installed; the window'"'"'s Chinese texts will not show. Install the Debian package fonts-noto-cjk.'
printf '%s\n' "$expected" >"$scratch/nofont.expected"
cmp -s "$scratch/nofont.txt" "$scratch/nofont.expected" \
    || fail "without fonts the output is not exactly the one warning line" "$scratch/nofont.txt"

[ "$failed" = 0 ] && echo "PASS: silent, also with the sandbox variable and a Chromium error; report and log on request; one line without the face"
exit "$failed"
