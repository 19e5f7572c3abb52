#!/usr/bin/env bash
# Installs what is missing, builds, and starts the container with the bundled web application,
# under a virtual display when no display is set.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)" --target webcontainer
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "run.sh: no display is set; starting webcontainer under a virtual display (Xvfb)."
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$BUILD_DIR/webcontainer" "$@"
fi
exec "$BUILD_DIR/webcontainer" "$@"
