#!/usr/bin/env bash
# Decrypting a 25 MB update package: PackageInstaller::decryptPackage beside `openssl enc -d` on the
# same ciphertext, interleaved in one run. Prints the median of each (REPETITIONS runs,
# default 9) and the ratio.
#
#   bench/package_decryption.sh          (BUILD_DIR=build)
source "$(dirname "$0")/common.sh"
BIN="$BUILD_DIR/bench/PackageDecryption_bench"
require_built "$BIN"
command -v openssl >/dev/null || { echo "the baseline needs the openssl command" >&2; exit 1; }

temporary_home

"$BIN" --benchmark_repetitions="${REPETITIONS:-9}" --benchmark_enable_random_interleaving=true \
    --benchmark_format=csv 2>/dev/null | awk -F, '
  $1 ~ /BM_decryptPackage.*_median"?$/    { ours = $3 }
  $1 ~ /BM_opensslEncCommand.*_median"?$/ { base = $3 }
  END {
    if (ours == "" || base == "") { print "no result" > "/dev/stderr"; exit 1 }
    printf "decryptPackage   median %.1f ms\nopenssl enc -d   median %.1f ms\nratio            %.2fx\n", ours, base, ours / base
  }'
