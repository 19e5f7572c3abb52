#!/usr/bin/env bash
# Measures the time from process start to the first finished navigation of the index page:
# the container is started with a fresh temporary home (first start: it installs app.zip, then
# shows the index page) and then again in the same home (a later start), RUNS times each, under
# a virtual display when none is set. Prints every run and the medians in milliseconds.
#
#   bench/first_navigation.sh            (RUNS=7 by default; BUILD_DIR=build)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
RUNS=${RUNS:-7}
BIN="$BUILD_DIR/webcontainer"

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
[[ -x "$BIN" ]] || { echo "build $BIN first (cmake --build $BUILD_DIR)" >&2; exit 1; }

# Starts the container in `home`, waits for the first finished navigation, stops it and
# prints the milliseconds from the start.
measure() {
  local home=$1 start end line
  mkdir -p "$home"/{home,data,config,cache,tmp}
  start=$(date +%s%N)
  # No session bus: each run is an instance of its own, never a message to one that runs.
  coproc APP { exec env -u DBUS_SESSION_BUS_ADDRESS WEBCONTAINER_LOG=debug HOME="$home/home" \
      XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" XDG_CACHE_HOME="$home/cache" \
      TMPDIR="$home/tmp" "$BIN" 2>&1; }
  end=""
  while IFS= read -r -t 60 line <&"${APP[0]}"; do
    if [[ $line == *"WEBVIEW: finished loading page"* ]]; then
      end=$(date +%s%N)
      break
    fi
  done
  kill "$APP_PID" 2>/dev/null || true
  wait "$APP_PID" 2>/dev/null || true
  [[ -n "$end" ]] || { echo "no finished navigation within 60 s" >&2; return 1; }
  echo $(( (end - start) / 1000000 ))
}

median() {
  sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
first=()
later=()
for i in $(seq 1 "$RUNS"); do
  first+=("$(measure "$work/run$i")")
  later+=("$(measure "$work/run$i")")
  echo "run $i: first start ${first[-1]} ms, later start ${later[-1]} ms"
done
echo "median over $RUNS runs: first start (installs app.zip) $(printf '%s\n' "${first[@]}" | median) ms," \
     "later start $(printf '%s\n' "${later[@]}" | median) ms"
