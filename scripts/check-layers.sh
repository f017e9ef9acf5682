#!/usr/bin/env bash
# Fails when an include of src/ points up a layer or sideways between sibling layers, or
# reaches into sim/ or tests/. Every folder under src/ is one layer (a subfolder such as ui/qt is
# a layer of its own) and lists the folders it may include, its own among them. From the bottom:
# platform; link, layout, store; the modem layer; ui and its Qt view; the dialog folders, which
# use everything below them but never each other, except console, which opens the others; app.
# The simulator in sim/ is the modem's own reading of its commands: of src/ it may use platform/
# (serial port, pseudo-terminal) only, never the program's protocol texts or parsers.
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
  [cli]="platform link store modem cli"
  [app]="$below_dialogs ui/qt caster casterlist settings update console cli app"
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
