#!/usr/bin/env bash
# Measures the bridge's round trip in the real web view: the demo page posts a getter, the
# native side answers through the page's callback, the page posts the next. Prints the median
# and the 99th percentile over ROUND_TRIPS round trips (default 2000), RUNS times (default 3),
# each run a fresh process in a temporary home, under a virtual display when none is set.
#
#   bench/bridge_roundtrip.sh            (BUILD_DIR=build)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
RUNS=${RUNS:-3}
export ROUND_TRIPS=${ROUND_TRIPS:-2000}
BIN="$BUILD_DIR/bench/BridgeRoundTrip_bench"

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
[[ -x "$BIN" ]] || { echo "build $BIN first (cmake --build $BUILD_DIR)" >&2; exit 1; }

# The program makes its temporary home below TMPDIR; everything goes when the script ends.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR="$work"

for i in $(seq 1 "$RUNS"); do
  line=$("$BIN" --benchmark_format=json 2>/dev/null | grep '^bridge round trip') \
    || { echo "run $i: no result" >&2; exit 1; }
  echo "run $i: ${line#bridge round trip, }"
done
