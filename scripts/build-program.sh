#!/usr/bin/env bash
# scripts/build-program.sh [--configure-only | --build-only] [BUILD]: configures BUILD (default:
# build, or $BUILD_DIR) as ./run does and builds only the program and the simulator; the tests and
# benchmarks are ./test's to build. ./run and scripts/time-build.sh both call it, so the build
# timed is the build ./run does.
set -euo pipefail
cd "$(dirname "$0")/.."
step=all
case ${1:-} in
  --configure-only) step=configure; shift ;;
  --build-only) step=build; shift ;;
esac
BUILD=${1:-${BUILD_DIR:-build}}
if [ $step != build ]; then
  # The flags ./test uses too. Only a fresh folder is told to let warnings pass (a newer compiler
  # never stops ./run); a folder ./test configured keeps its warnings as errors, so that ./run
  # after ./test rebuilds nothing.
  werror=()
  [ -f "$BUILD/CMakeCache.txt" ] || werror=(-DTESSADORN_WERROR=OFF)
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSADORN_DEBUG_INFO=OFF \
    -DTESSADORN_UNITY=ON "${werror[@]}" >/dev/null
fi
if [ $step != configure ]; then
  cmake --build "$BUILD" -j"$(nproc)" --target tessadorn tessadorn-sim
fi
