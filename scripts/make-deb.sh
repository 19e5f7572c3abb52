#!/usr/bin/env bash
# Builds the Debian package of the installed tree (webcontainer_<version>_<arch>.deb, in the
# repository's root) in a Release build of its own, without tests and benchmarks. Its Depends
# come from dpkg-shlibdeps. Install it with `sudo apt-get install ./webcontainer_*.deb`.
#   scripts/make-deb.sh        (BUILD_DIR=build-deb by default)
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
BUILD_DIR=${BUILD_DIR:-build-deb}
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DWEBCONTAINER_BUILD_TESTS=OFF -DWEBCONTAINER_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)"
(cd "$BUILD_DIR" && cpack -G DEB)
cp "$BUILD_DIR"/webcontainer_*.deb .
ls -l webcontainer_*.deb
