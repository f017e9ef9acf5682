#!/usr/bin/env bash
# signals-close-the-window.sh TESSADORN LIST: SIGTERM, SIGINT and SIGHUP close the program as its
# window's close does: exit status 0, the simulated modem ended, no temporary copy of a file left.
# Copies an interrupted save left before the start are removed, and the log says so. LIST is a
# caster list to start from.
set -uo pipefail
app=$1 list=$2
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null; rm -rf "$work"' EXIT
cp "$app" "$(dirname "$app")/tessadorn-sim" "$work/"
mkdir -m 700 "$work/cfg"
cp "$list" "$work/cfg/ntripcfg.txt"
printf 2 >"$work/cfg/tessadorn.cfg"
# Copies of saves whose process is gone (99999999 is past the largest process number), and the
# user's own copy, which stays.
(umask 077 && echo '<Password>s3cret</Password>' >"$work/cfg/ntripcfg.txt.tessadorn-99999999-0" &&
  printf 1 >"$work/cfg/tessadorn.cfg.tessadorn-99999999-3" &&
  echo 'my own copy' >"$work/cfg/ntripcfg.txt.backup")
log="$work/state/tessadorn/tessadorn.log"
copies() { ls "$work/cfg" | grep -E '^(ntripcfg\.txt|ntripcfg\.txt\.bak|tessadorn\.cfg)\.tessadorn-'; }
fail() {
  echo "$*" >&2
  [ -f "$log" ] && tail -20 "$log" >&2
  exit 1
}

for sig in TERM INT HUP; do
  rm -f "$log"
  QT_QPA_PLATFORM=offscreen XDG_STATE_HOME="$work/state" "$work/$(basename "$app")" \
    --config-dir "$work/cfg" --simulate --role rover --baud 2 2>"$work/stderr" &
  pid=$!
  # Once the modem was found and polled, the program is at work: its files were just saved.
  for _ in $(seq 400); do
    grep -q 'OK CMD: #APN' "$log" 2>/dev/null && break
    kill -0 "$pid" 2>/dev/null || fail "SIG$sig: the program ended before the signal"
    sleep 0.1
  done
  grep -q 'OK CMD: #APN' "$log" || fail "SIG$sig: the modem was never polled"
  sim=$(pgrep -P "$pid" tessadorn-sim) || fail "SIG$sig: no simulated modem"
  kill -"$sig" "$pid"
  wait "$pid"
  rc=$?
  pid=
  [ "$rc" -eq 0 ] || fail "SIG$sig: exit status $rc (want 0)"
  grep -q "SIG$sig: the window closes" "$log" || fail "SIG$sig: the log does not say it closed"
  ! kill -0 "$sim" 2>/dev/null || fail "SIG$sig: the simulated modem $sim still runs"
  left=$(copies)
  [ -z "$left" ] || fail "SIG$sig: temporary copies left: $left"
  if [ "$sig" = TERM ]; then
    for copy in ntripcfg.txt.tessadorn-99999999-0 tessadorn.cfg.tessadorn-99999999-3; do
      grep -q "cfg/$copy: removed, a copy left by an interrupted save" "$log" ||
        fail "the removal of $copy is not in the log"
    done
  fi
  [ -s "$work/cfg/ntripcfg.txt" ] || fail "SIG$sig: the caster list is gone or empty"
  [ -f "$work/cfg/ntripcfg.txt.backup" ] || fail "SIG$sig: the user's own ntripcfg.txt.backup is gone"
  echo "SIG$sig: exit status 0, simulated modem ended, no temporary copy"
done
