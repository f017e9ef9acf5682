#!/usr/bin/env bash
# screenshot.sh TESSADORN FACE FILE: a picture of the main dialog on the simulated modem.
#   searching  the modem never answers: the searching face when the time is up
#   client     a rover: the ready face once the first polls have drawn
#   server     a base: the same
set -euo pipefail
app=$1 face=$2 file=$3
mkdir -p "$(dirname "$file")"
rm -f "$file"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
case $face in
  searching) sim=(--silent 1) wait=4 ;;
  client) sim=(--role rover --baud 2) wait=40 ;;
  server) sim=(--role base --baud 2) wait=40 ;;
  *) echo "unknown face $face" >&2; exit 2 ;;
esac
# The program runs in its own folder, so that the files it keeps beside it stay there.
work=$(mktemp -d)
trap 'rm -f "$log"; rm -rf "$work"' EXIT
cp "$app" "$work/"
cp "$(dirname "$app")/tessadorn-sim" "$work/"
# Its files and its log stay in that folder too; --debug puts the commands on stderr.
XDG_STATE_HOME="$work/state" "$work/$(basename "$app")" --config-dir "$work" --debug \
  --simulate "${sim[@]}" --screenshot "$file" --screenshot-wait "$wait" \
  2>"$log" || { tail -20 "$log" >&2; exit 1; }
[ -s "$file" ] || { echo "no picture written" >&2; exit 1; }
case $face in
  searching)
    if grep -q '#GETCFG' "$log"; then echo "the silent modem was configured?" >&2; exit 1; fi ;;
  *)
    grep -q 'OK CMD: #APN' "$log" || { echo "the modem was never polled" >&2; tail -20 "$log" >&2; exit 1; } ;;
esac
echo "wrote $file"
