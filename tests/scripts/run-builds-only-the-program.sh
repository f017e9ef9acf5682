#!/usr/bin/env bash
# run-builds-only-the-program.sh ROOT: ./run builds the program and the simulator and nothing
# else (no test, no benchmark) before the window opens. cmake is replaced by a recorder.
set -euo pipefail
root=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
cat >"$work/bin/cmake" <<'SHIM'
#!/usr/bin/env bash
printf '%s\n' "$*" >>"$CMAKE_CALLS"
SHIM
chmod +x "$work/bin/cmake"
export CMAKE_CALLS="$work/calls"
: >"$CMAKE_CALLS"
# Without a display ./run stops after the build.
env -u DISPLAY -u WAYLAND_DISPLAY PATH="$work/bin:$PATH" BUILD_DIR="$work/build" \
  "$root/run" >/dev/null 2>&1 || true
builds=$(grep -e '--build' "$CMAKE_CALLS" || true)
if [ -z "$builds" ]; then
  echo "./run never built anything:" >&2
  cat "$CMAKE_CALLS" >&2
  exit 1
fi
# Every build names its targets, and they are the program and the simulator.
targets=$(echo "$builds" | awk '{ for (i = 1; i <= NF; ++i) if ($i == "--target" || $i == "-t") { for (j = i + 1; j <= NF && $j !~ /^-/; ++j) print $j } }' | sort -u | tr '\n' ' ')
if [ "$targets" != "tessadorn tessadorn-sim " ]; then
  echo "./run builds targets '$targets' with: $builds" >&2
  exit 1
fi
echo "./run builds: $targets"
