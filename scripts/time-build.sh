#!/usr/bin/env bash
# scripts/time-build.sh [REV]: times the first build of a fresh clone, as ./run does it.
# Clones REV (default: the current commit; uncommitted changes are not in it) into a temporary
# folder, configures and builds exactly ./run's targets there (scripts/build-program.sh) with
# ccache off, and prints the wall and CPU seconds (user + sys of every compiler and linker) of
# the configure step, of the build and of both, with the load average before and after. The
# machine's other work shows in the wall time, hardly in the CPU time: compare CPU seconds when
# the load average at the start is well above zero.
set -euo pipefail
cd "$(dirname "$0")/.."
rev=$(git rev-parse --verify "${1:-HEAD}^{commit}")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
git clone --quiet --no-checkout . "$tmp/src"
git -C "$tmp/src" checkout --quiet "$rev"

# No compiler cache: every object is compiled, as on a machine that never built the program.
export CCACHE_DISABLE=1
unset CMAKE_CXX_COMPILER_LAUNCHER CMAKE_C_COMPILER_LAUNCHER CMAKE_BUILD_PARALLEL_LEVEL

cd "$tmp/src"
if [ -x scripts/build-program.sh ]; then
  configure() { ./scripts/build-program.sh --configure-only build; }
  build() { ./scripts/build-program.sh --build-only build; }
else
  # Commits from before scripts/build-program.sh: the lines ./run had then.
  configure() { cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSADORN_WERROR=OFF >/dev/null; }
  build() { cmake --build build -j"$(nproc)" --target tessadorn tessadorn-sim >/dev/null; }
fi

load_start=$(cut -d' ' -f1-3 /proc/loadavg)
TIMEFORMAT='%R %U %S'
{ time configure >"$tmp/configure.log" 2>&1; } 2>"$tmp/configure.time" ||
  { cat "$tmp/configure.log" >&2; echo "time-build: configure failed" >&2; exit 1; }
{ time build >"$tmp/build.log" 2>&1; } 2>"$tmp/build.time" ||
  { tail -n 40 "$tmp/build.log" >&2; echo "time-build: build failed" >&2; exit 1; }
load_end=$(cut -d' ' -f1-3 /proc/loadavg)

read -r cw cu cs <"$tmp/configure.time"
read -r bw bu bs <"$tmp/build.time"
warnings=$(grep -c 'warning:' "$tmp/build.log" || true)
steps=$(grep -c '^\[[0-9]*/[0-9]*\]' "$tmp/build.log" || true)
awk -v rev="$(git rev-parse --short "$rev")" -v cores="$(nproc)" -v ls="$load_start" \
  -v le="$load_end" -v cw="$cw" -v cu="$cu" -v cs="$cs" -v bw="$bw" -v bu="$bu" -v bs="$bs" \
  -v warn="$warnings" -v steps="$steps" 'BEGIN {
  printf "commit %s, %d cores, load average at start %s, at end %s\n", rev, cores, ls, le
  printf "configure: wall %6.1f s  cpu %6.1f s\n", cw, cu + cs
  printf "build:     wall %6.1f s  cpu %6.1f s  (%d steps, %d warnings)\n", bw, bu + bs, steps, warn
  printf "total:     wall %6.1f s  cpu %6.1f s\n", cw + bw, cu + cs + bu + bs
}'
