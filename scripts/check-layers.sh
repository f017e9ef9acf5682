#!/usr/bin/env bash
# Fails when an include of src/ points up a layer or sideways between sibling layers, or
# reaches into sim/ or tests/. Every folder under src/ is one layer (a subfolder such as ui/qt is
# a layer of its own) and lists the folders it may include, its own among them. From the bottom:
# platform; link, layout, store; the modem layer; ui and its Qt view; the dialog folders, which
# use everything below them but never each other, except console, which opens the others; app.
set -euo pipefail
cd "$(dirname "$0")/.."
below_dialogs="platform link layout store modem ui"
declare -A allowed=(
  [platform]="platform"
  [link]="platform link"
  [layout]="platform layout"
  [store]="platform store"
  [modem]="platform link store modem"
  [ui]="platform layout ui"
  [ui/qt]="platform layout ui ui/qt"
  [caster]="$below_dialogs caster"
  [casterlist]="$below_dialogs casterlist"
  [settings]="$below_dialogs settings"
  [update]="$below_dialogs update"
  [console]="$below_dialogs caster casterlist settings update console"
  [app]="$below_dialogs ui/qt caster casterlist settings update console app"
)
status=0
while IFS= read -r file; do
  layer=$(dirname "${file#src/}")
  if [ -z "${allowed[$layer]+set}" ]; then
    echo "$file: the folder $layer is no layer of scripts/check-layers.sh; add it there" >&2
    status=1
    continue
  fi
  while IFS= read -r inc; do
    target=$(dirname "$inc")
    [ "$target" = "." ] && continue # a file of the same folder
    case " ${allowed[$layer]} " in
      *" $target "*) ;;
      *) echo "$file includes \"$inc\": $layer may not use $target" >&2; status=1 ;;
    esac
  done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
done < <(find src -name '*.cpp' -o -name '*.h' | grep -v '^src/resources/' | sort)
exit $status
