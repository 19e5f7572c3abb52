#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the benchmarks need, and the npm
# packages of the Socket.IO test server.
# Idempotent and non-interactive; does nothing but a dpkg query when all is present.
set -euo pipefail

PACKAGES=(
  # build, tests, benchmarks
  cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev
  # the update benchmark's loopback server and its shell pipeline
  python3 curl openssl unzip
  # web view, UI, main loop; a virtual display for the end-to-end tests
  libwebkit2gtk-4.1-dev xvfb xauth libgl1-mesa-dri
  # HTTP, crypto, ZIP, XML, property lists, JSON, logging
  libcurl4-openssl-dev libssl-dev ca-certificates libminizip-dev zlib1g-dev libpugixml-dev
  libplist-dev nlohmann-json3-dev libspdlog-dev
  # WebSocket and TLS for the real-time channel, UUIDs
  libboost-dev uuid-dev
  # audio, position and addresses
  libgstreamer1.0-dev gstreamer1.0-plugins-base gstreamer1.0-plugins-good libgeoclue-2-dev libgeocode-glib-dev
  # currency formatting of prices
  libicu-dev
  # the preview's PDF pages
  libpoppler-glib-dev
  # loopback content server of the tests; a private session bus for the scripted D-Bus services
  libcpp-httplib-dev dbus
  # fuzz targets (libFuzzer); the sanitizer pass uses GCC's ASan and UBSan
  clang
  # the install tests: the desktop entry's and metainfo's validators, the desktop's URL handler
  # look-up and launch; the Debian package (dpkg-shlibdeps, file)
  desktop-file-utils appstream xdg-utils libglib2.0-bin dpkg-dev file
)

# Node.js runs the real-time channel's test server (npm's socket.io). A node that is already
# installed (from Debian or elsewhere) is used as it is.
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  PACKAGES+=(nodejs npm)
fi

missing=()
for p in "${PACKAGES[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if [[ ${#missing[@]} -gt 0 ]]; then
  echo "install-deps: installing ${missing[*]}"
  SUDO=""
  if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get -o DPkg::Lock::Timeout=600 update -q
  $SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends "${missing[@]}"
fi

# The npm packages of the Socket.IO test server and the benchmark's npm client, as locked.
SOCKETIO_DIR="$(dirname "$0")/../tests/socketio"
if [[ ! -f "$SOCKETIO_DIR/node_modules/.package-lock.json" \
      || "$SOCKETIO_DIR/package-lock.json" -nt "$SOCKETIO_DIR/node_modules/.package-lock.json" ]]; then
  echo "install-deps: npm ci in tests/socketio"
  (cd "$SOCKETIO_DIR" && npm ci --no-audit --no-fund --loglevel=error)
fi
