#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (the end-to-end tests under Xvfb).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)"
# One virtual display for the whole run; the web view tests need it, the others ignore it.
exec xvfb-run -a -s "-screen 0 1280x1024x24" \
  ctest --test-dir "$BUILD_DIR" --output-on-failure -j"$(nproc)" "$@"
