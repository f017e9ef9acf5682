#!/usr/bin/env bash
# Fails when an include of src/ points up a layer or sideways between sibling layers, or
# reaches into sim/ or tests/. Each layer lists the folders it may include (its own included).
# The simulator in sim/ is the modem's own reading of its commands: of src/ it may use platform/
# (serial port, pseudo-terminal) only, never the program's protocol texts or parsers.
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

src_folders=" $(find src -mindepth 1 -maxdepth 1 -type d -printf '%f ') "
while IFS= read -r file; do
  while IFS= read -r inc; do # as written: "name" or <name>
    path=${inc:1:-1}
    first=${path%%/*}
    case "$inc" in
      \"platform/*) continue ;;
      \"*) # a header of sim/ beside the including file
        [[ "$path" != *..* && -f "$(dirname "$file")/$path" ]] && continue ;;
      \<*) # a system or library header, unless it is one of src/
        [[ "$path" != *src/* && ("$path" != */* || "$first" == platform ||
          "$src_folders" != *" $first "*) ]] && continue ;;
    esac
    echo "$file includes $inc: sim/ may use only platform/ of src/" >&2
    status=1
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*\(["<][^">]*[">]\).*/\1/p' "$file")
done < <(find sim -name '*.cpp' -o -name '*.h' | sort)
exit $status
