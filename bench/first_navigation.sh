#!/usr/bin/env bash
# Measures the time from process start to the first finished navigation of the index page,
# beside the bare engine in the same run.
#
# Ours: the container with a fresh temporary home (first start: it installs app.zip, plays the
# splash screen, then shows the index page) and then again in the same home (a later start).
# The splash screen's designed 5 s (1 s of standing logo and the 4 s animation) are taken off
# our figures, so what is left is the container's own start-up work. Bare: a plain WebKitGTK
# program loading the same index page (bare_first_load). RUNS runs of each (default 7),
# interleaved, each start once the processes of the one before have ended, under a virtual
# display when none is set, WebKit's sandbox off for ours (the bare program runs none). Prints
# every run, the medians in milliseconds and the ratios.
#
#   bench/first_navigation.sh            (RUNS=7 by default; BUILD_DIR=build)
source "$(dirname "$0")/common.sh"
RUNS=${RUNS:-7}
BIN="$BUILD_DIR/webcontainer"
BARE="$BUILD_DIR/bench/bare_first_load"
PAGE="$PWD/resources/web/index.html"
SPLASH_MS=5000

need_display "$@"
require_built "$BIN" "$BARE"

# Runs the command after `home` in that home, waits for its first finished navigation, stops
# it and prints the milliseconds from the start.
measure() {
  local home=$1 start end
  shift
  mkdir -p "$home"/{home,data,config,cache,tmp}
  # Emptied before the start: a later start in the same home would otherwise find the earlier
  # run's line before the background process has truncated its log.
  : >"$home/log"
  start=$(date +%s%N)
  # No session bus: each run is an instance of its own, never a message to one that runs.
  env -u DBUS_SESSION_BUS_ADDRESS WEBCONTAINER_LOG=debug WEBCONTAINER_WEB_SANDBOX=0 HOME="$home/home" \
      XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" XDG_CACHE_HOME="$home/cache" \
      TMPDIR="$home/tmp" "$@" >"$home/log" 2>&1 &
  local pid=$!
  end=""
  # Polls the log every 5 ms for at most 60 s (a process that ended early ends the wait): a
  # program started on its own shows its finished navigation nowhere else.
  for ((tick = 0; tick < 12000; tick++)); do
    if grep -q "WEBVIEW: finished loading page" "$home/log" 2>/dev/null; then
      end=$(date +%s%N)
      break
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.005
  done
  # The engine's processes outlive the program by a second or two: the next start (a later
  # start above all, which follows at once) would share the machine with their ending.
  local engine
  engine=$(pgrep -d, -P "$pid" || true)
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  for ((tick = 0; tick < 2000 && ${#engine} > 0; tick++)); do
    ps -p "$engine" >/dev/null || break
    sleep 0.005
  done
  [[ -n "$end" ]] || { echo "no finished navigation within 60 s (log: $home/log)" >&2; return 1; }
  echo $(( (end - start) / 1000000 ))
}

median() {
  sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

temporary_home
first="" later="" bare=""
for i in $(seq 1 "$RUNS"); do
  f=$(( $(measure "$work/run$i" "$BIN") - SPLASH_MS ))
  l=$(( $(measure "$work/run$i" "$BIN") - SPLASH_MS ))
  b=$(measure "$work/bare$i" "$BARE" "$PAGE")
  first+="$f " later+="$l " bare+="$b "
  echo "run $i: ours less the splash's 5 s: first start $f ms, later start $l ms; bare engine $b ms"
done
b=$(printf '%s\n' $bare | median)
for kind in first later; do
  declare -n values=$kind
  m=$(printf '%s\n' $values | median)
  echo "median over $RUNS runs, $kind start: ours less the splash's 5 s $m ms, bare engine $b ms, ratio ours/bare" \
       "$(awk -v a="$m" -v b="$b" 'BEGIN { printf "%.2f", a / b }')"
done
