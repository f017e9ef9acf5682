#!/usr/bin/env bash
# watch-unit.sh UNIT CTL SIM: the systemd unit of the watch as systemd itself judges it
# (systemd-analyze verify, and security with the exposure at most 2.0), what it is bound to and
# which serial devices it may open; then the watch run with the unit's own environment (its
# folders moved under a temporary one) on a simulated modem: the log and the metrics land where
# the unit says, the metrics readable by the node exporter's user.
set -uo pipefail
unit=$1 ctl=$2 sim=$3
command -v systemd-analyze >/dev/null || { echo "systemd-analyze is missing: scripts/install-deps.sh installs it" >&2; exit 1; }
tmp=$(mktemp -d)
simpid=
cleanup() { [ -z "$simpid" ] || kill "$simpid" 2>/dev/null; wait 2>/dev/null; rm -rf "$tmp"; }
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

instance=dev-ttyUSB0
# verify needs the program where ExecStart names it.
sed "s|^ExecStart=tessadornctl|ExecStart=$ctl|" "$unit" >"$tmp/tessadorn-watch@$instance.service"
systemd-analyze verify --man=no "$tmp/tessadorn-watch@$instance.service" >"$tmp/verify" 2>&1 ||
  fail "systemd-analyze verify: $(cat "$tmp/verify")"
systemd-analyze security --offline=yes --no-pager "$tmp/tessadorn-watch@$instance.service" \
  >"$tmp/security" 2>&1
exposure=$(sed -n 's/.*Overall exposure level for .*: \([0-9.]*\).*/\1/p' "$tmp/security")
[ -n "$exposure" ] || fail "no exposure level: $(cat "$tmp/security")"
awk -v e="${exposure:-99}" 'BEGIN { exit !(e <= 2.0) }' ||
  fail "exposure $exposure above 2.0: $(grep -c '✗' "$tmp/security") settings open"

# What the unit says, key by key (the last assignment of a key that is set once).
has() { grep -qxF -- "$1" "$unit" || fail "the unit lacks $1"; }
lacks() { ! grep -q -- "$1" "$unit" || fail "the unit still has $1"; }
has "BindsTo=%i.device"
has "After=%i.device"
lacks "systemd-udev-settle"
for class in ttyUSB ttyACM ttyS ttyAMA ttymxc; do has "DeviceAllow=char-$class rw"; done
has "DevicePolicy=closed"
has "PrivateNetwork=yes"
has "LogsDirectory=tessadorn-watch/%i"

# The unit's environment for the instance, its folders under $tmp.
env_of() {
  sed -n 's/^Environment=//p' "$unit" | sed "s|%i|$instance|g; s|=/|=$tmp/|"
}
mapfile -t environment < <(env_of)
[ ${#environment[@]} -gt 0 ] || fail "no Environment= in the unit"
declare -A value
for pair in "${environment[@]}"; do value[${pair%%=*}]=${pair#*=}; done
for key in HOME XDG_STATE_HOME TESSADORN_PROMETHEUS; do
  [ -n "${value[$key]:-}" ] || fail "the unit sets no $key"
done
[ "${value[HOME]:-/}" != "$tmp/" ] || fail "HOME is /"
metrics=${value[TESSADORN_PROMETHEUS]:-$tmp/none}
case $metrics in */$instance/*) ;; *) fail "the metrics file is not one per instance: $metrics" ;; esac
# A dynamic user's state folder is under /var/lib/private (0700): no other user reads it.
case $metrics in "$tmp"/var/lib/tessadorn-watch/* | "$tmp"/var/lib/private/*)
  fail "the metrics are in the state folder, which the collector cannot read" ;;
esac
mkdir -p "$(dirname "$metrics")" "${value[HOME]:-$tmp/home}" "${value[XDG_STATE_HOME]:-$tmp/state}"

link=$tmp/modem
"$sim" --quiet --baud 2 --link "$link" >/dev/null 2>&1 &
simpid=$!
for _ in $(seq 100); do [ -e "$link" ] && break; sleep 0.1; done
(cd "$tmp" && env -i PATH="$PATH" "${environment[@]}" \
  timeout -s INT 8 "$ctl" --port "$link" --config-dir "$tmp/config" watch --prometheus "$metrics" \
  >"$tmp/lines" 2>"$tmp/stderr")
grep -q "no log file" "$tmp/stderr" && fail "the watch has no log: $(cat "$tmp/stderr")"
log=${value[XDG_STATE_HOME]:-$tmp/none}/tessadorn/tessadorn.log
[ -s "$log" ] || fail "no log at $log: $(cat "$tmp/stderr")"
grep -q '^tessadorn_up{port="' "$metrics" 2>/dev/null || fail "no metrics in $metrics"
[ "$(stat -c %a "$metrics" 2>/dev/null)" = 644 ] || fail "the metrics file is not readable by others"
for dir in "$(dirname "$metrics")"; do
  [ $(( $(stat -c %#a "$dir") & 5 )) = 5 ] || fail "$dir cannot be read by others"
done

[ $failures -eq 0 ] || exit 1
echo "watch unit: ok (exposure $exposure)"
