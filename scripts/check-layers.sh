#!/usr/bin/env bash
# Fails when an include of src/ points up a layer or sideways between sibling layers, or
# reaches into sim/ or tests/. Each layer lists the folders it may include (its own included).
set -euo pipefail
cd "$(dirname "$0")/.."
declare -A allowed=(
  [platform]="platform"
  [link]="platform link"
  [layout]="platform layout"
  [modem]="platform link store modem"
  [store]="platform store ui layout"
  [ui]="platform layout ui"
  [ui/qt]="platform layout ui ui/qt"
  [caster]="platform link layout store modem ui caster"
  [settings]="platform link layout store modem ui settings"
  [update]="platform link layout store modem ui update"
  [console]="platform link layout store modem ui caster settings update console"
  [app]="platform link layout store modem ui ui/qt caster settings update console app"
)
status=0
while IFS= read -r file; do
  dir=$(dirname "${file#src/}")
  layer=$dir
  [ "$dir" = "ui/qt" ] || layer=${dir%%/*}
  while IFS= read -r inc; do
    target=$(dirname "$inc")
    [ "$target" = "." ] && continue # a file of the same folder
    [ "$target" = "ui/qt" ] || target=${target%%/*}
    case " ${allowed[$layer]:-} " in
      *" $target "*) ;;
      *) echo "$file includes \"$inc\": $layer may not use $target" >&2; status=1 ;;
    esac
  done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
done < <(find src -name '*.cpp' -o -name '*.h' | grep -v '^src/resources/' | sort)
exit $status
