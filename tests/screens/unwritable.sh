#!/usr/bin/env bash
# unwritable.sh TESSADORN: a screenshot to a place that cannot be written ends the program with
# exit code 1 and says so once.
set -uo pipefail
app=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$app" "$(dirname "$app")/tessadorn-sim" "$work/"
"$work/$(basename "$app")" --simulate --silent 1 --screenshot "$work/missing/shot.png" \
  --screenshot-wait 3 2>"$work/log"
rc=$?
said=$(grep -c "cannot write" "$work/log")
if [ "$rc" -ne 1 ] || [ "$said" -ne 1 ]; then
  echo "exit code $rc (want 1), $said error lines (want 1)" >&2
  tail -20 "$work/log" >&2
  exit 1
fi
echo "exit code 1, one error line"
