#!/usr/bin/env bash
# Fails when a command text or a reply token of the modem appears as a string literal in src/
# outside the modem layer (src/modem/). The texts are the string literals of the protocol table
# (src/modem/Protocol.h and .cpp) without their line ends; a command form counts by its fixed
# start and its first argument ("#LIST 1,%"). Texts of three characters or less ("OK", "ON", "Bye") and the product name
# (also the window's caption) are too common in what the user sees to check.
set -euo pipefail
cd "$(dirname "$0")/.."
strip='s/\\r//g; s/\\n//g'
texts=$(
  grep -hv '^#include' src/modem/Protocol.h src/modem/Protocol.cpp | sed 's|^ *//.*||' |
    grep -o '"[^"]*"' | sed "s/^\"//; s/\"$//; $strip; s/%.*/%/" |
    awk 'length($0) > 3 && $0 != "TESSADORN" && $0 !~ / is not within /' | sort -u
)
status=0
while IFS= read -r file; do
  code=$(grep -v '^#include' "$file" | sed 's|^ *//.*||; s| // .*||' | sed "$strip")
  while IFS= read -r text; do
    [ -n "$text" ] || continue
    if grep -qF -- "\"$text" <<<"$code"; then
      echo "$file: the modem's text \"$text\" belongs in src/modem/" >&2
      status=1
    fi
  done <<<"$texts"
done < <(find src -name '*.cpp' -o -name '*.h' | grep -v '^src/modem/' | sort)
exit $status
