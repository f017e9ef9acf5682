#!/bin/sh
# Applies one profile to every modem plugged in, several at once, and prints one line per modem:
#   /dev/serial/by-id/usb-...-if00  changed (auto_connect)
#   /dev/serial/by-id/usb-...-if01  unchanged
#   /dev/serial/by-id/usb-...-if02  failed (3: apn: APN configuration Error)
#   /dev/ttyUSB7  failed (1: cannot open the serial port /dev/ttyUSB7: No such file or directory. ...)
# With --check, a modem that differs is "differs (SETTING, ...)" and nothing is sent.
#
# Usage: apply-profile-fleet.sh [--check] [--timeout SECONDS] [--config-dir DIR]
#                               [--parallel N] PROFILE [PORT...]
#   (default ports: /dev/serial/by-id/*; a PORT may be a modem behind ser2net,
#   rfc2217://HOST:PORT)
# --check           only say what differs (profile apply --check)
# --timeout S       bounds each modem's command (tessadornctl --timeout)
# --config-dir DIR  one folder for every modem's files (tessadornctl --config-dir); without it
#                   each modem keeps its found rate in a folder of its own (FLEET_STATE, default
#                   ${XDG_STATE_HOME:-$HOME/.local/state}/tessadorn-fleet/<port name>)
# --parallel N      how many modems at once (default 8; also PARALLEL)
# CHECK=1 is --check; TESSADORNCTL names the program (default tessadornctl).
# Needs jq to read the program's JSON.
#
# Exit status: 0 every modem matches the profile (after the changes); 1 a modem failed (its
# line says why); 5 with --check when a modem differs and none failed; 2 a wrong command line.
set -u
usage() {
    echo "usage: $0 [--check] [--timeout SECONDS] [--config-dir DIR] [--parallel N] PROFILE [PORT...]" >&2
    exit 2
}
CHECK_OPTION=
[ "${CHECK:-0}" = 1 ] && CHECK_OPTION=--check
TIMEOUT_OPTION=
CONFIG_DIR=
PARALLEL=${PARALLEL:-8}
while [ $# -gt 0 ]; do
    case $1 in
        --check) CHECK_OPTION=--check; shift ;;
        --timeout)
            [ $# -ge 2 ] || usage
            case $2 in '' | *[!0-9]*) echo "$0: --timeout needs whole seconds: $2" >&2; exit 2 ;; esac
            TIMEOUT_OPTION="--timeout $2"; shift 2 ;;
        --config-dir) [ $# -ge 2 ] && [ -n "$2" ] || usage; CONFIG_DIR=$2; shift 2 ;;
        --parallel)
            [ $# -ge 2 ] || usage
            case $2 in '' | *[!0-9]* | 0) echo "$0: --parallel needs a number: $2" >&2; exit 2 ;; esac
            PARALLEL=$2; shift 2 ;;
        --) shift; break ;;
        -*) usage ;;
        *) break ;;
    esac
done
[ $# -ge 1 ] || usage
profile=$1
shift
[ -r "$profile" ] || { echo "$0: the profile $profile cannot be read" >&2; exit 2; }
command -v jq >/dev/null 2>&1 || { echo "$0: needs jq (apt install jq)" >&2; exit 2; }
if [ $# -eq 0 ]; then
    set -- /dev/serial/by-id/*
    [ -e "$1" ] || { echo "$0: no modem under /dev/serial/by-id; name the ports" >&2; exit 1; }
fi
FLEET_STATE=${FLEET_STATE:-${XDG_STATE_HOME:-$HOME/.local/state}/tessadorn-fleet}
TESSADORNCTL=${TESSADORNCTL:-tessadornctl}
results=$(mktemp -d) || exit 1
trap 'rm -rf "$results"' EXIT
export profile FLEET_STATE TESSADORNCTL CHECK_OPTION TIMEOUT_OPTION CONFIG_DIR results

# One modem: its line, and its exit status in $results.
printf '%s\n' "$@" | xargs -P "$PARALLEL" -I{} sh -c '
    port=$1
    name=$(basename "$port")
    dir=${CONFIG_DIR:-$FLEET_STATE/$name}
    out=$(mktemp "$results/out.XXXXXX")
    if ! mkdir -p "$dir" 2>/dev/null; then
        printf "%s  failed (1: the folder %s cannot be made)\n" "$port" "$dir"
        echo 1 >"$out.status"
        exit 0
    fi
    err="$out.err"
    # TIMEOUT_OPTION is "--timeout N" or nothing: split on purpose.
    "$TESSADORNCTL" --port "$port" --config-dir "$dir" $TIMEOUT_OPTION --json \
        profile apply $CHECK_OPTION "$profile" >"$out" 2>"$err"
    status=$?
    # The settings of one state, as "a, b"; the refusals as "setting: message; ...".
    names() { jq -r --arg s "$1" "[.settings[]? | select(.state == \$s) | .setting] | join(\", \")" "$out" 2>/dev/null; }
    reasons=$(jq -r "if type == \"object\" then ([.settings[]? | select(.state == \"failed\")
        | .setting + \": \" + (.message // \"\")] | join(\"; \")) as \$r
        | if \$r != \"\" then \$r else (.error // \"\") end else \"\" end" "$out" 2>/dev/null)
    [ -n "$reasons" ] || reasons=$(grep -v "^$" "$err" | tail -n 1 | sed "s/^[^:]*: //")
    changed=$(jq -r "if type == \"object\" then .changed else null end" "$out" 2>/dev/null)
    case $status:$changed in
        0:true) line="changed ($(names changed))" ;;
        0:false) line=unchanged ;;
        5:*) line="differs ($(names differs))" ;;
        0:*) line="failed (0: the program gave no report)"; status=1 ;;
        *) line="failed ($status: ${reasons:-no reason given})" ;;
    esac
    printf "%s  %s\n" "$port" "$line"
    echo "$status" >"$out.status"' sh {}

failed=0
differs=0
for f in "$results"/*.status; do
    [ -e "$f" ] || continue
    case $(cat "$f") in
        0) ;;
        5) differs=1 ;;
        *) failed=1 ;;
    esac
done
count=$(find "$results" -name '*.status' | wc -l)
[ "$count" -eq $# ] || failed=1
[ $failed = 0 ] || exit 1
[ $differs = 0 ] || exit 5
exit 0
