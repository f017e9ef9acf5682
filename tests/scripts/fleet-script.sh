#!/usr/bin/env bash
# fleet-script.sh SIM CTL SCRIPT: the fleet script against simulated modems on pseudo-terminals:
# a modem that matches the profile, one that differs, one that refuses the setting, one that
# never answers and a port that is not there. Each row runs the script and compares the line of
# every modem and the script's exit status.
set -uo pipefail
sim=$1 ctl=$2 script=$3
tmp=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# A simulated modem behind the link $tmp/NAME.
modem() {
  local name=$1
  shift
  "$sim" --quiet --baud 2 --link "$tmp/$name" "$@" >/dev/null 2>&1 &
  pids+=($!)
}
modem same --auto 1
modem differs --auto 0
modem refuses --auto 0 --refuse "#AUTO ON"
modem silent --scenario silent
for name in same differs refuses silent; do
  for _ in $(seq 100); do [ -e "$tmp/$name" ] && break; sleep 0.1; done
  [ -e "$tmp/$name" ] || { echo "FAIL: simulator $name did not start" >&2; exit 1; }
done
printf '{"tessadorn_profile": 1, "auto_connect": true}\n' >"$tmp/profile.json"

# run NAME STATUS "OPTIONS" "PORTS" "PORT=LINE-START|..." [ENVIRONMENT...]
run() {
  local name=$1 want=$2 options=$3 ports=$4 lines=$5
  shift 5
  local args=() p
  for p in $ports; do args+=("$tmp/$p"); done
  env FLEET_STATE="$tmp/state" TESSADORNCTL="$ctl" XDG_STATE_HOME="$tmp/xdg" "$@" \
    sh "$script" $options "$tmp/profile.json" "${args[@]}" >"$tmp/out" 2>"$tmp/err"
  local status=$?
  [ "$status" = "$want" ] || fail "$name: exit status $status, not $want: $(cat "$tmp/out" "$tmp/err")"
  [ "$(wc -l <"$tmp/out")" -eq "${#args[@]}" ] || fail "$name: not one line per port: $(cat "$tmp/out")"
  local expect port text
  IFS='|' read -ra expect <<<"$lines"
  for expect in "${expect[@]}"; do
    port=${expect%%=*} text=${expect#*=}
    grep -qF -- "$tmp/$port  $text" "$tmp/out" || fail "$name: no line \"$port  $text\" in: $(cat "$tmp/out")"
  done
}

# The port that is not there comes first: every other modem is still tried.
run CheckMissingPortFirst 1 "--check --timeout 20" "nothing same differs" \
  "nothing=failed (1: |same=unchanged|differs=differs (auto_connect)"
# Drift has its own status, through the option and through CHECK=1.
run CheckReportsDrift 5 "--check --timeout 20" "same differs" "same=unchanged|differs=differs (auto_connect)"
run CheckByEnvironment 5 "" "differs" "differs=differs (auto_connect)" CHECK=1
run CheckOfMatchingModems 0 "--check" "same" "same=unchanged"
# The modem's refusal is on its line; the changed modem says so.
run ApplyChangesAndRefusals 1 "--timeout 20" "same differs refuses" \
  "same=unchanged|differs=changed (auto_connect)|refuses=failed (3: auto_connect: "
run SecondApplyChangesNothing 0 "" "differs" "differs=unchanged"
# --timeout reaches the program: a silent modem fails after 2 s, not after the default 60.
run TimeoutIsPassedOn 1 "--timeout 2" "silent" "silent=failed (4: No modem answered on $tmp/silent: no answer within 2 s.)"
# --config-dir reaches the program: the found rate is kept there.
run ConfigDirIsPassedOn 0 "--config-dir $tmp/shared" "same" "same=unchanged"
[ -s "$tmp/shared/tessadorn.ports" ] || fail "ConfigDirIsPassedOn: nothing kept in $tmp/shared"
run BadTimeoutIsRefused 2 "--timeout soon" "" ""

[ $failures -eq 0 ] || exit 1
echo "fleet script: ok"
