#!/usr/bin/env bash
# missing-port.sh TESSADORN: the program started on a serial device that is not there says so
# once and ends with exit status 1 (here when the shortest screenshot time, one second, is up).
set -uo pipefail
app=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
XDG_STATE_HOME="$work/state" "$app" --port "$work/ttyMISSING" --config-dir "$work" \
  --screenshot "$work/shot.png" --screenshot-wait 1 2>"$work/log"
rc=$?
said=$(grep -c "ttyMISSING" "$work/log")
if [ "$rc" -ne 1 ] || [ "$said" -ne 1 ] || [ ! -s "$work/shot.png" ]; then
  echo "exit status $rc (want 1), $said lines naming the device (want 1)" >&2
  ls "$work" >&2
  tail -20 "$work/log" >&2
  exit 1
fi
echo "exit status 1, the device named once"
