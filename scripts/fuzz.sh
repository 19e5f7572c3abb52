#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, -fsanitize=fuzzer,address,undefined, in build-fuzz/) and
# runs one of them, or each in turn, for the given number of seconds.
# Usage: scripts/fuzz.sh <target|all> <seconds> [libFuzzer options…]
#   targets: command_url http_cookie strings_file plist_import xml_value settings_file update_reply
#            zip_directory
# The corpus grows in fuzz/corpus/<target>/ (not kept in git); a crash leaves its input in
# build-fuzz/crashes/.
set -euo pipefail
cd "$(dirname "$0")/.."
TARGETS=(command_url http_cookie strings_file plist_import xml_value settings_file update_reply zip_directory)
if [[ $# -lt 2 ]]; then
  echo "usage: $0 <${TARGETS[*]// /|}|all> <seconds> [libFuzzer options…]" >&2
  exit 2
fi
target=$1 seconds=$2
shift 2
if [[ $target == all ]]; then
  selected=("${TARGETS[@]}")
elif [[ " ${TARGETS[*]} " == *" $target "* ]]; then
  selected=("$target")
else
  echo "fuzz: no target '$target' (${TARGETS[*]})" >&2
  exit 2
fi

./scripts/install-deps.sh
BUILD_DIR=${FUZZ_BUILD_DIR:-build-fuzz}
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link \
  -DWEBCONTAINER_SANITIZE=address,undefined -DWEBCONTAINER_BUILD_FUZZ=ON \
  -DWEBCONTAINER_BUILD_TESTS=OFF -DWEBCONTAINER_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)" --target "${selected[@]/#/fuzz_}"

mkdir -p "$BUILD_DIR/crashes"
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
for name in "${selected[@]}"; do
  corpus=fuzz/corpus/$name
  mkdir -p "$corpus"
  echo "fuzz: $name for $seconds s"
  "$BUILD_DIR/fuzz/fuzz_$name" "$corpus" "fuzz/seeds/$name" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$BUILD_DIR/crashes/$name-" "$@"
done
