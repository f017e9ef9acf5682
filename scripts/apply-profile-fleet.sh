#!/bin/sh
# Applies one profile to every modem plugged in, several at once, and prints one line per modem:
#   /dev/serial/by-id/usb-...-if00  changed
#   /dev/serial/by-id/usb-...-if01  unchanged
#   /dev/serial/by-id/usb-...-if02  failed (3: The modem refused a setting of the profile.)
# Usage: apply-profile-fleet.sh PROFILE [PORT...]     (default: /dev/serial/by-id/*; a PORT may
#        be a modem behind ser2net, rfc2217://HOST:PORT)
# PARALLEL  how many modems at once (default 8)
# CHECK=1   only say what differs (profile apply --check)
# TESSADORNCTL  the program (default tessadornctl)
# Each modem keeps its found rate in a folder of its own (FLEET_STATE, default
# ${XDG_STATE_HOME:-$HOME/.local/state}/tessadorn-fleet/<port name>), so that modems at different
# rates are each found at once the next time.
# Ends with 0 when every modem matches, 1 otherwise.
set -u
[ $# -ge 1 ] || { echo "usage: $0 PROFILE [PORT...]" >&2; exit 2; }
profile=$1
shift
# A port may be a remote address (rfc2217://HOST:PORT): only the default is looked for on disk.
if [ $# -eq 0 ]; then
    set -- /dev/serial/by-id/*
    [ -e "$1" ] || { echo "$0: no modem under /dev/serial/by-id" >&2; exit 1; }
fi
FLEET_STATE=${FLEET_STATE:-${XDG_STATE_HOME:-$HOME/.local/state}/tessadorn-fleet}
TESSADORNCTL=${TESSADORNCTL:-tessadornctl}
CHECK_OPTION=
[ "${CHECK:-0}" = 1 ] && CHECK_OPTION=--check
export profile FLEET_STATE TESSADORNCTL CHECK_OPTION

printf '%s\n' "$@" | xargs -P "${PARALLEL:-8}" -I{} sh -c '
    port=$1
    dir="$FLEET_STATE/$(basename "$port")"
    mkdir -p "$dir"
    json=$("$TESSADORNCTL" --port "$port" --config-dir "$dir" --json \
        profile apply $CHECK_OPTION "$profile" 2>"$dir/stderr")
    status=$?
    case $status:$json in
        0:*"\"changed\": true"*) line=changed ;;
        0:*) line=unchanged ;;
        *) line="failed ($status: $(tail -n 1 "$dir/stderr" | sed "s/^[^:]*: //"))" ;;
    esac
    printf "%s  %s\n" "$port" "$line"
    [ $status = 0 ]' sh {} || exit 1
