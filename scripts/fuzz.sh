#!/usr/bin/env bash
# Fuzzes what the program reads from outside for a bounded time: the caster list reader, the
# source-table scan and the parser of every query reply of the modem. scripts/fuzz.sh [seconds per target] (default 5).
# Builds each target with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer; exits
# non-zero on a crash, a sanitizer report or a hang, keeping the input in the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."

SECONDS_TO_RUN=${1:-5}
OUT=${FUZZ_BUILD_DIR:-build-fuzz}
CXX=${FUZZ_CXX:-clang++-14}
mkdir -p "$OUT"

# fuzz NAME "SOURCES..." "HEADER GLOBS..." "EXTRA FLAGS" SEED_DIR...
fuzz() {
  local name=$1 sources=$2 headers=$3 flags=$4
  shift 4
  local target="$OUT/$name" corpus="$OUT/$name-corpus"
  # Rebuild only when a source or header changed.
  local rebuild=0 f
  [ -x "$target" ] || rebuild=1
  for f in $sources $headers "$0"; do
    [ "$f" -nt "$target" ] && rebuild=1
  done
  if [ "$rebuild" -eq 1 ]; then
    # shellcheck disable=SC2086
    "$CXX" -std=c++20 -O1 -g -Wall -Wextra -Isrc $flags \
      -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
      -fno-omit-frame-pointer $sources -o "$target"
  fi
  mkdir -p "$corpus"
  for f in "$@"; do
    if [ -d "$f" ]; then cp -f "$f"/* "$corpus/"; else cp -f "$f" "$corpus/"; fi
  done
  local log="$OUT/$name.log"
  if ! UBSAN_OPTIONS=print_stacktrace=1 "$target" "$corpus" \
      -max_total_time="$SECONDS_TO_RUN" -timeout=10 -max_len=16384 -rss_limit_mb=1024 \
      -artifact_prefix="$OUT/$name-" -print_final_stats=1 >"$log" 2>&1; then
    tail -n 60 "$log" >&2
    echo "fuzz: $name failed (input kept in $OUT/)" >&2
    exit 1
  fi
  echo "fuzz: $name $(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}') runs"
}

fuzz caster_reader_fuzz \
  "src/store/CasterEntry.cpp src/store/CasterDocument.cpp src/store/CasterFileReader.cpp
   src/store/CasterFileWriter.cpp fuzz/CasterReaderFuzz.cpp" \
  "src/store/*.h" "" tests/data/store fuzz/corpus

# The source-table scan: any bytes after "CMD_OK", then silence.
fuzz source_table_scan_fuzz \
  "src/modem/SourceTableScanner.cpp src/modem/SourceTable.cpp src/modem/CasterReply.cpp
   src/modem/SourceRow.cpp src/modem/Position.cpp
   src/link/SerialChannel.cpp src/link/TokenMatcher.cpp
   src/platform/Clock.cpp src/platform/DebugOutput.cpp src/platform/TextCodec.cpp
   fuzz/SourceTableScanFuzz.cpp" \
  "src/modem/*.h src/link/*.h" "" tests/data/sourcetables/gpsd-sapos.txt \
  tests/data/sourcetables/trignet.txt tests/data/sourcetables/casters-mixed.txt \
  fuzz/corpus-sourcetable

# One target per reply of the modem, seeded with real replies.
for reply in configuration:configuration position:position broadcast:broadcast \
    stored-caster:storedCaster apn:apn signal:signal; do
  fuzz "reply_${reply%%:*}_fuzz" \
    "src/modem/Replies.cpp src/modem/DeviceConfig.cpp fuzz/ReplyParserFuzz.cpp" \
    "src/modem/Replies.h src/modem/DeviceConfig.h" "-DREPLY_PARSER=${reply##*:}" \
    "fuzz/replies/${reply%%:*}"
done
