#!/usr/bin/env bash
# Fails when a C++ file of the project does not match .clang-format; lists the files.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(find src sim tests bench fuzz -name '*.cpp' -o -name '*.h' | sort)
bad=()
for f in "${files[@]}"; do
  clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done
if [ ${#bad[@]} -ne 0 ]; then
  echo "Not formatted as .clang-format says (run clang-format -i on them):" >&2
  printf '  %s\n' "${bad[@]}" >&2
  exit 1
fi
