#!/usr/bin/env bash
# scripts/sanitize.sh thread|address
# Builds the project with ThreadSanitizer (thread) or AddressSanitizer + UndefinedBehaviorSanitizer
# (address) into its own folder (build-tsan/, build-asan/) and runs the whole test suite under it.
# Any report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
kind=${1:?usage: scripts/sanitize.sh thread|address}
case $kind in
  thread) BUILD=${BUILD_DIR:-build-tsan} ;;
  address) BUILD=${BUILD_DIR:-build-asan} ;;
  *) echo "unknown sanitizer: $kind" >&2; exit 2 ;;
esac
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSADORN_SANITIZE="$kind" \
  -DTESSADORN_WERROR=ON -DTESSADORN_BENCH=OFF -DTESSADORN_UNITY=OFF >/dev/null
cmake --build "$BUILD" -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
# The suppressions for Qt's internals are compiled into the executables (tests/tsan.supp).
export TSAN_OPTIONS="second_deadlock_stack=1"
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir "$BUILD" --output-on-failure -j"$(nproc)" --timeout 900
