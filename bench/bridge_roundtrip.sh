#!/usr/bin/env bash
# Measures the bridge's round trip in the real web view beside the bare engine's, in one run.
#
# Ours: the demo's bridge page posts "getUuid?callback=…", the native side answers through
# the page's callback, the page posts the next (BridgeRoundTrip_bench). Bare: the same page in
# a plain WebKitGTK program that answers in its message handler at once (bare_echo). Both
# time the distance between two arrivals of the page's message on the native side.
#
# Both run the page's process in WebKit's sandbox, as the container must (SANDBOX=0: neither
# does; the sandbox's own cost is then left out of both).
#
# ROUND_TRIPS round trips (default 2000) per run, RUNS runs of each (default 5), interleaved
# and in alternating order, each a fresh process in a temporary home, under a virtual display
# when none is set. Prints every run, then the medians over the runs and ours / bare.
#
#   bench/bridge_roundtrip.sh            (BUILD_DIR=build; OURS=<program> measures another build)
source "$(dirname "$0")/common.sh"
RUNS=${RUNS:-5}
export ROUND_TRIPS=${ROUND_TRIPS:-2000}
OURS=${OURS:-$BUILD_DIR/bench/BridgeRoundTrip_bench}
BARE="$BUILD_DIR/bench/bare_echo"
PAGE="$PWD/resources/web/bridge.html"
export WEBCONTAINER_WEB_SANDBOX=${SANDBOX:-1}
BARE_SANDBOX=()
[[ $WEBCONTAINER_WEB_SANDBOX == 1 ]] && BARE_SANDBOX=(--sandbox)

need_display "$@"
require_built "$OURS" "$BARE"

temporary_home

# "…: median M us, 99th percentile P us …" -> "M P"
figures() { sed -n 's/.*median \([0-9.]*\) us, 99th percentile \([0-9.]*\) us.*/\1 \2/p'; }

run_ours() {
  "$OURS" --benchmark_format=json 2>/dev/null | grep '^bridge round trip' | figures
}

run_bare() {
  local home="$work/bare-$1"
  mkdir -p "$home"
  HOME="$home" XDG_DATA_HOME="$home" XDG_CONFIG_HOME="$home" XDG_CACHE_HOME="$home" \
    "$BARE" "${BARE_SANDBOX[@]}" "$PAGE" 2>/dev/null | figures
}

ours=() bare=()
for i in $(seq 1 "$RUNS"); do
  if (( i % 2 )); then
    b=$(run_bare "$i"); o=$(run_ours)
  else
    o=$(run_ours); b=$(run_bare "$i")
  fi
  [[ -n "$o" && -n "$b" ]] || { echo "run $i: no result" >&2; exit 1; }
  printf 'run %d: ours median %s us, p99 %s us | bare median %s us, p99 %s us\n' "$i" $o $b
  ours+=("$o") bare+=("$b")
done

# The median over the runs of column $1 (1: median, 2: 99th percentile).
median_of() {
  local column=$1; shift
  printf '%s\n' "$@" | awk -v c="$column" '{print $c}' | sort -g \
    | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}
om=$(median_of 1 "${ours[@]}") op=$(median_of 2 "${ours[@]}")
bm=$(median_of 1 "${bare[@]}") bp=$(median_of 2 "${bare[@]}")
echo "$ROUND_TRIPS round trips, $RUNS runs each, medians over the runs:"
awk -v om="$om" -v op="$op" -v bm="$bm" -v bp="$bp" 'BEGIN {
  printf "  ours: median %.1f us, 99th percentile %.1f us\n", om, op
  printf "  bare: median %.1f us, 99th percentile %.1f us\n", bm, bp
  printf "  ours / bare: median %.2fx (goal 1.0x), 99th percentile %.2fx (goal 1.0x)\n", om / bm, op / bp
}'
