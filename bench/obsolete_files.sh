#!/usr/bin/env bash
# The manifest clean-up of a 20,000-file web root: deleteObsoleteFiles beside
# `find www -type f | wc -l` on the same tree, interleaved in one run. Prints the median of each
# (REPETITIONS runs, default 9) and the ratio.
#
#   bench/obsolete_files.sh          (BUILD_DIR=build)
source "$(dirname "$0")/common.sh"
BIN="$BUILD_DIR/bench/ObsoleteFiles_bench"
require_built "$BIN"

temporary_home

"$BIN" --benchmark_repetitions="${REPETITIONS:-9}" --benchmark_enable_random_interleaving=true \
    --benchmark_format=csv 2>/dev/null | awk -F, '
  $1 ~ /BM_deleteObsoleteFiles.*_median"?$/ { ours = $3 }
  $1 ~ /BM_findWalk.*_median"?$/            { base = $3 }
  END {
    if (ours == "" || base == "") { print "no result" > "/dev/stderr"; exit 1 }
    printf "deleteObsoleteFiles      median %.1f ms\nfind -type f | wc -l     median %.1f ms\nratio                    %.2fx\n", ours, base, ours / base
  }'
