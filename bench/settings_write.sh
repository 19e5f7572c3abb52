#!/usr/bin/env bash
# Compares 100,000 "setValue" round trips with 100,000 "getUuid" round trips on the native side
# of the bridge (parse, dispatch, settings, reply evaluated on the main queue), in one run, with
# a 10 MB value stored. Prints both totals and the ratio (goal: at most 1.5).
#
#   bench/settings_write.sh            (BUILD_DIR=build)
source "$(dirname "$0")/common.sh"
BIN="$BUILD_DIR/bench/BridgeDispatch_bench"
require_built "$BIN"

temporary_home

# CSV rows: name,iterations,real_time,cpu_time,time_unit,...
"$BIN" --benchmark_filter='RoundTrips' --benchmark_format=csv 2>/dev/null | awk -F, '
  /RoundTrips/ {
    gsub(/"/, "", $1)
    total = $2 * $3 / 1e6   # microseconds per round trip -> seconds
    printf "%-24s %d round trips: %.2f s (%.2f us each)\n", $1, $2, total, $3
    if ($1 ~ /getUuid/) get = total; else set = total
  }
  END {
    if (!get || !set) { print "no result" > "/dev/stderr"; exit 1 }
    printf "setValue / getUuid: %.2fx\n", set / get
  }'
