#!/usr/bin/env bash
# screenshots.sh [BUILD]: remakes the README's pictures in docs/screenshots/ with the program's
# own --screenshot against the simulated modem: the searching face, and the ready face of a
# rover and of a base; and the history window over a simulated day of polls (bench/watch's
# history_bench). Needs no display.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake --build "$build" --target tessadorn tessadorn-sim history_bench >/dev/null
export QT_QPA_PLATFORM=offscreen
shot=tests/screens/screenshot.sh
bash "$shot" "$build/bin/tessadorn" searching docs/screenshots/searching.png
bash "$shot" "$build/bin/tessadorn" client docs/screenshots/rover.png
bash "$shot" "$build/bin/tessadorn" server docs/screenshots/base.png
TZ=UTC "$build/bin/history_bench" --draws 1 --screenshot docs/screenshots/history.png >/dev/null
