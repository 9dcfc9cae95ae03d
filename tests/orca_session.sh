#!/bin/sh
# Runs one program while the Orca screen reader is running, as a blind user's desktop has it:
# a session bus, an accessibility bus, speech-dispatcher and Orca, all of their own and ended
# with the program. There is no sound device: speech-dispatcher's generic module writes every
# utterance Orca asks for as one line to a file. The program learns where from the environment:
#   QELVORA_SPOKEN     the file of spoken lines
#   QELVORA_ORCA_LOG   Orca's debug log, which names every event Orca receives
# The desktop speaks Chinese (zh_CN.UTF-8, compiled into the scratch folder). The program is
# started without QT_LINUX_ACCESSIBILITY_ALWAYS_ON: Qt turns accessibility on because Orca says
# on the bus that a screen reader runs, as it does on a desktop.
# Exit status: the program's; 77 when Orca, speech-dispatcher or the locale sources are missing.
# Usage: orca_session.sh <scratch folder> <program> [arguments...]
set -u
launcher=/usr/libexec/at-spi-bus-launcher
skip=77

# Waits up to $2 tenths of a second for the command $1 to succeed while process $3 runs.
wait_for() {
    tries=0
    until eval "$1"; do
        if ! kill -0 "$3" 2>/dev/null || [ "$tries" -ge "$2" ]; then
            return 1
        fi
        tries=$((tries + 1))
        sleep 0.1
    done
}

if [ "${1:-}" = --inside-session ]; then
    shift
    scratch=$1
    shift
    pids=
    # Orca may take its time to say goodbye; whatever still runs after three seconds is ended.
    # shellcheck disable=SC2317,SC2329 # run by the EXIT trap
    finish() {
        for p in $pids; do kill "$p" 2>/dev/null; done
        tries=0
        while [ "$tries" -lt 30 ]; do
            alive=
            for p in $pids; do kill -0 "$p" 2>/dev/null && alive=1; done
            [ -n "$alive" ] || return
            tries=$((tries + 1))
            sleep 0.1
        done
        for p in $pids; do kill -9 "$p" 2>/dev/null; done
    }
    trap finish EXIT
    trap 'exit 1' INT TERM

    "$launcher" --launch-immediately >"$scratch/bus.log" 2>&1 &
    pids="$! $pids"
    if ! wait_for "dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
            org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null \
            | grep -q 'boolean true'" 100 "$!"; then
        echo "FAIL: the accessibility bus did not start"
        exit 1
    fi

    speech-dispatcher -s -t 0 -C "$XDG_CONFIG_HOME/speech-dispatcher" \
        -L "$scratch/speechd-log" >"$scratch/speechd.log" 2>&1 &
    pids="$! $pids"

    orca --replace -u "$scratch/orca-prefs" --debug-file "$QELVORA_ORCA_LOG" \
        >"$scratch/orca.out" 2>&1 &
    orca=$!
    pids="$orca $pids"
    # Orca greets the user once it has started and its speech is up ("屏幕阅读器启用。"): the
    # speech file has its first line. By then it has told the bus that a screen reader runs.
    if ! wait_for "[ -s '$QELVORA_SPOKEN' ]" 600 "$orca"; then
        echo "FAIL: Orca said nothing within a minute; its output and speech-dispatcher's:"
        cat "$scratch/orca.out" "$scratch/speechd.log"
        exit 1
    fi

    unset QT_LINUX_ACCESSIBILITY_ALWAYS_ON
    "$@"
    exit $?
fi

scratch=$1
shift
for tool in dbus-run-session dbus-send "$launcher" orca speech-dispatcher localedef xdotool; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: $tool not found; install the Debian packages orca, speech-dispatcher,"
        echo "xdotool, at-spi2-core, dbus and locales (scripts/install-deps.sh test)"
        exit "$skip"
    fi
done
if [ ! -e /usr/share/i18n/locales/zh_CN ]; then
    echo "SKIP: no locale sources for zh_CN; install the Debian package locales"
    exit "$skip"
fi

rm -rf "$scratch" && mkdir -p "$scratch/runtime" "$scratch/home" "$scratch/orca-prefs" \
    "$scratch/config/speech-dispatcher/modules" "$scratch/locales" || exit 1
chmod 700 "$scratch/runtime"
localedef -i zh_CN -f UTF-8 "$scratch/locales/zh_CN.UTF-8" || exit 1

export QELVORA_SPOKEN="$scratch/spoken.txt"
export QELVORA_ORCA_LOG="$scratch/orca-debug.txt"
: >"$QELVORA_SPOKEN"
cat >"$scratch/config/speech-dispatcher/speechd.conf" <<EOF
AddModule "filelog" "sd_generic" "filelog.conf"
DefaultModule filelog
DefaultLanguage "zh"
LanguageDefaultModule "zh" "filelog"
AudioOutputMethod "alsa"
AudioALSADevice "null"
EOF
cat >"$scratch/config/speech-dispatcher/modules/filelog.conf" <<EOF
GenericExecuteSynth "printf '%s\\\\n' \'\$DATA\' >> $QELVORA_SPOKEN"
GenericLanguage "zh" "zh" "utf-8"
AddVoice "zh" "MALE1" "zh"
EOF

export XDG_RUNTIME_DIR="$scratch/runtime"
export XDG_CONFIG_HOME="$scratch/config"
export HOME="$scratch/home"
export GSETTINGS_BACKEND=keyfile
export LOCPATH="$scratch/locales"
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 LANGUAGE=zh_CN
# Qt would connect to a bus named here instead of finding the session's.
unset AT_SPI_BUS_ADDRESS
exec dbus-run-session -- sh "$0" --inside-session "$scratch" "$@"
