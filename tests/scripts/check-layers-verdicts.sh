#!/usr/bin/env bash
# check-layers-verdicts.sh ROOT: scripts/check-layers.sh, run on a one-file source tree per case,
# passes downward and same-folder includes and fails upward and sideways ones, includes of sim/
# or tests/, and a folder it does not know.
set -euo pipefail
root=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
# folder of the including file | included path | expected exit status (0 passes)
while IFS='|' read -r folder include expected; do
  rm -rf "$work/tree"
  mkdir -p "$work/tree/scripts" "$work/tree/src/$folder"
  cp "$root/scripts/check-layers.sh" "$work/tree/scripts/"
  printf '#include "%s"\n' "$include" >"$work/tree/src/$folder/File.cpp"
  status=0
  bash "$work/tree/scripts/check-layers.sh" 2>/dev/null || status=$?
  if [ "$status" != "$expected" ]; then
    echo "src/$folder including \"$include\": exit status $status, expected $expected" >&2
    failures=$((failures + 1))
  fi
done <<'CASES'
store|store/CasterStore.h|0
store|Local.h|0
store|platform/AtomicFile.h|0
store|ui/Dialog.h|1
store|layout/DialogTemplate.h|1
store|link/Protocol.h|1
modem|store/CasterStore.h|0
modem|link/Transactions.h|0
modem|ui/Dialog.h|1
ui|modem/Session.h|1
ui|store/CasterStore.h|1
ui/qt|ui/Dialog.h|0
ui|ui/qt/View.h|1
casterlist|store/FieldCheck.h|0
casterlist|modem/Session.h|0
casterlist|ui/Dialog.h|0
casterlist|settings/ApnDialog.h|1
casterlist|ui/qt/View.h|1
settings|casterlist/ServerEditDialog.h|1
settings|store/SaveReport.h|0
caster|casterlist/CasterSelectDialog.h|1
update|caster/CasterAccess.h|1
console|casterlist/CasterSelectDialog.h|0
console|settings/ApnDialog.h|0
console|ui/qt/View.h|1
app|ui/qt/View.h|0
app|casterlist/CasterSelectDialog.h|0
console|sim/Modem.h|1
store|tests/support/TempDir.h|1
store/sub|store/CasterStore.h|1
newfolder|platform/Clock.h|1
CASES
if [ "$failures" -gt 0 ]; then exit 1; fi
echo "check-layers: every verdict as expected"
