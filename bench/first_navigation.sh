#!/usr/bin/env bash
# Measures the time from process start to the first finished navigation of the index page:
# the container is started with a fresh temporary home (first start: it installs app.zip, then
# shows the index page) and then again in the same home (a later start), RUNS times each, under
# a virtual display when none is set; every run is done with WebKit's sandbox off (the
# baseline) and on, interleaved. Prints every run, the medians in milliseconds and the ratios.
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
  local home=$1 sandbox=$2 start end
  mkdir -p "$home"/{home,data,config,cache,tmp}
  start=$(date +%s%N)
  # No session bus: each run is an instance of its own, never a message to one that runs.
  env -u DBUS_SESSION_BUS_ADDRESS WEBCONTAINER_LOG=debug WEBCONTAINER_WEB_SANDBOX="$sandbox" HOME="$home/home" \
      XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" XDG_CACHE_HOME="$home/cache" \
      TMPDIR="$home/tmp" "$BIN" >"$home/log" 2>&1 &
  local pid=$!
  end=""
  # Polls the log every 5 ms for at most 60 s (a process that ended early ends the wait).
  for ((tick = 0; tick < 12000; tick++)); do
    if grep -q "WEBVIEW: finished loading page" "$home/log" 2>/dev/null; then
      end=$(date +%s%N)
      break
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.005
  done
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  [[ -n "$end" ]] || { echo "no finished navigation within 60 s (log: $home/log)" >&2; return 1; }
  echo $(( (end - start) / 1000000 ))
}

median() {
  sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

work=$(mktemp -d)
trap 'rm -rf "$work" 2>/dev/null || true' EXIT
declare -A first later
for i in $(seq 1 "$RUNS"); do
  for sandbox in 0 1; do
    first[$sandbox]+="$(measure "$work/run$i-$sandbox" "$sandbox") "
    later[$sandbox]+="$(measure "$work/run$i-$sandbox" "$sandbox") "
  done
  echo "run $i: sandbox off: first start $(echo ${first[0]} | awk '{print $NF}') ms, later start" \
       "$(echo ${later[0]} | awk '{print $NF}') ms; sandbox on: first start $(echo ${first[1]} | awk '{print $NF}') ms," \
       "later start $(echo ${later[1]} | awk '{print $NF}') ms"
done
for kind in first later; do
  declare -n values=$kind
  off=$(printf '%s\n' ${values[0]} | median)
  on=$(printf '%s\n' ${values[1]} | median)
  echo "median over $RUNS runs, $kind start: sandbox off $off ms, sandbox on $on ms, ratio on/off" \
       "$(awk -v a="$on" -v b="$off" 'BEGIN { printf "%.2f", a / b }')"
done
