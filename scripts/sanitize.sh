#!/usr/bin/env bash
# The unit and integration tests again in a Debug build with AddressSanitizer and
# UndefinedBehaviorSanitizer (GCC), in a build folder of its own. Any finding ends the test
# process, so the test fails. WebKit's own processes are not instrumented; only ours are.
# Usage: [SANITIZE_E2E=1] scripts/sanitize.sh [ctest arguments…]   (e.g. -R Settings)
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
BUILD_DIR=${SANITIZE_BUILD_DIR:-build-sanitize}
start=$(date +%s)
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ \
  -DWEBCONTAINER_SANITIZE=address,undefined -DWEBCONTAINER_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)"
built=$(date +%s)

export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# The full unwinder on every allocation, so that suppressions can name where a library allocated.
asan=detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:fast_unwind_on_malloc=0
status=0
run() { xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir "$BUILD_DIR" --output-on-failure -j"$(nproc)" "$@" || status=$?; }
# Unit and integration tests with leak detection. What fontconfig keeps for the life of the
# process is listed in lsan.supp; nothing of ours is.
ASAN_OPTIONS=${ASAN_OPTIONS:-$asan:detect_leaks=1} LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0 \
  run -LE e2e "$@"
# The end-to-end tests only when asked (SANITIZE_E2E=1), and without leak detection: GTK and
# WebKit keep allocations for the life of the process, and our code runs inside their main loop,
# so their leak reports cannot be told from ours. Under the sanitizers the start page takes
# longer to load than the tests wait for on a busy machine.
if [[ ${SANITIZE_E2E:-0} == 1 ]]; then
  ASAN_OPTIONS=${ASAN_OPTIONS:-$asan:detect_leaks=0} run -L e2e "$@"
fi
echo "sanitize: build $((built - start)) s, tests $(($(date +%s) - built)) s"
exit $status
