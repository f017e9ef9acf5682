#!/usr/bin/env bash
# simulator-restart.sh TESSADORN [SECONDS]: the program owns its simulated modem and its port.
#   - a second program on the same port is refused, and told which process holds it;
#   - a killed simulator is reaped, the log says so with its exit status, a new one runs on a
#     new pseudo-terminal and the modem is polled again within SECONDS (default 40; CTest gives
#     5: the port reports its device gone at once, the monitor waits for the new one and tries
#     the held rate first, which takes about 2.5 s on an idle machine).
set -uo pipefail
app=$1
limit=${2:-40}
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
cp "$app" "$(dirname "$app")/tessadorn-sim" "$work/"
prog=$work/$(basename "$app")
log=$work/log
fail() { echo "$*" >&2; tail -30 "$log" >&2; exit 1; }
polls() { grep -c 'OK CMD: #APN' "$log"; }

XDG_STATE_HOME="$work/state" "$prog" --config-dir "$work" --debug --simulate 2>"$log" &
pid=$!
for _ in $(seq 1 600); do [ "$(polls)" -gt 0 ] && break; sleep 0.1; done
[ "$(polls)" -gt 0 ] || fail "the modem was never polled"
sim=$(pgrep -P "$pid" -f tessadorn-sim) || fail "no simulator under the program"
pty=$(sed -n 's/^Port: //p' "$log" | tr -d '\r' | head -1)

XDG_STATE_HOME="$work/state2" "$prog" --config-dir "$work" --port "$pty" --screenshot \
  "$work/second.png" --screenshot-wait 3 2>"$work/second" >/dev/null
rc=$?
want="The port $pty is in use by $(cat /proc/$pid/comm) (process $pid)."
grep -qF "$want" "$work/second" || fail "the second program did not say: $want ($(cat "$work/second"))"
[ "$rc" -eq 1 ] || fail "the second program ended with $rc, not 1"

before=$(polls)
start=$(date +%s%N)
kill -KILL "$sim"
for _ in $(seq 1 $((limit * 20))); do [ "$(polls)" -gt "$before" ] && break; sleep 0.05; done
took=$(( ($(date +%s%N) - start) / 1000000 ))
[ "$(polls)" -gt "$before" ] || fail "not polled again within $limit s of the simulator's end"
grep -q "The simulated modem stopped (exit status 137); starting it again" "$log" ||
  fail "the log does not say that the simulated modem stopped"
[ -z "$(ps -o stat= -p "$sim" 2>/dev/null)" ] || fail "the old simulator was not reaped"
new=$(pgrep -P "$pid" -f tessadorn-sim) || fail "no new simulator"
[ "$new" != "$sim" ] || fail "the old simulator still runs"
echo "refused the second program; polled again ${took} ms after the simulator was killed"
