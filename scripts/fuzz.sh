#!/usr/bin/env bash
# Fuzzes the caster list reader for a bounded time: scripts/fuzz.sh [seconds] (default 20),
# then the source-table scan for 8 seconds.
# Builds it with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer; exits non-zero
# on a crash, a sanitizer report or a hang.
set -euo pipefail
cd "$(dirname "$0")/.."

SECONDS_TO_RUN=${1:-20}
OUT=${FUZZ_BUILD_DIR:-build-fuzz}
CXX=${FUZZ_CXX:-clang++-14}
TARGET="$OUT/caster_reader_fuzz"
SOURCES=(
  src/store/CasterEntry.cpp
  src/store/CasterDocument.cpp
  src/store/CasterFileReader.cpp
  src/store/CasterFileWriter.cpp
  fuzz/CasterReaderFuzz.cpp
)

mkdir -p "$OUT/corpus"

# Rebuild only when a source or header changed.
rebuild=0
[ -x "$TARGET" ] || rebuild=1
for f in "${SOURCES[@]}" src/store/*.h "$0"; do
  [ "$f" -nt "$TARGET" ] && rebuild=1
done
if [ "$rebuild" -eq 1 ]; then
  "$CXX" -std=c++20 -O1 -g -Wall -Wextra -Isrc \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -fno-omit-frame-pointer "${SOURCES[@]}" -o "$TARGET"
fi

cp -f tests/data/store/*.txt fuzz/corpus/* "$OUT/corpus/"

LOG="$OUT/fuzz.log"
if ! UBSAN_OPTIONS=print_stacktrace=1 "$TARGET" "$OUT/corpus" \
    -max_total_time="$SECONDS_TO_RUN" -timeout=10 -max_len=16384 -rss_limit_mb=1024 \
    -artifact_prefix="$OUT/" -print_final_stats=1 >"$LOG" 2>&1; then
  tail -n 60 "$LOG" >&2
  echo "fuzz: caster list reader failed (input kept in $OUT/)" >&2
  exit 1
fi
grep -E '^(stat::number_of_executed_units|Done)' "$LOG" || true

# The source-table scan: any bytes after "CMD_OK", then silence.
SCAN_SECONDS=8
SCAN_TARGET="$OUT/source_table_scan_fuzz"
SCAN_SOURCES=(
  src/caster/SourceTableScanner.cpp
  src/link/SerialChannel.cpp
  src/link/TokenMatcher.cpp
  src/platform/Clock.cpp
  src/platform/DebugOutput.cpp
  src/platform/TextCodec.cpp
  fuzz/SourceTableScanFuzz.cpp
)
rebuild=0
[ -x "$SCAN_TARGET" ] || rebuild=1
for f in "${SCAN_SOURCES[@]}" src/caster/*.h src/link/*.h "$0"; do
  [ "$f" -nt "$SCAN_TARGET" ] && rebuild=1
done
if [ "$rebuild" -eq 1 ]; then
  "$CXX" -std=c++20 -O1 -g -Wall -Wextra -Isrc \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -fno-omit-frame-pointer "${SCAN_SOURCES[@]}" -o "$SCAN_TARGET"
fi
mkdir -p "$OUT/corpus-sourcetable"
cp -f tests/data/sourcetables/gpsd-sapos.txt tests/data/sourcetables/trignet.txt \
  fuzz/corpus-sourcetable/* "$OUT/corpus-sourcetable/"
SCAN_LOG="$OUT/fuzz-sourcetable.log"
if ! UBSAN_OPTIONS=print_stacktrace=1 "$SCAN_TARGET" "$OUT/corpus-sourcetable" \
    -max_total_time="$SCAN_SECONDS" -timeout=10 -max_len=16384 -rss_limit_mb=1024 \
    -artifact_prefix="$OUT/" -print_final_stats=1 >"$SCAN_LOG" 2>&1; then
  tail -n 60 "$SCAN_LOG" >&2
  echo "fuzz: source-table scan failed (input kept in $OUT/)" >&2
  exit 1
fi
grep -E '^(stat::number_of_executed_units|Done)' "$SCAN_LOG" || true
