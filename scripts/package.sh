#!/usr/bin/env bash
# Makes the Debian packages dealbrix and dealbrix-server from a build of only what goes into them (no
# tests, benchmarks or tools; see packaging/package-cache.cmake), in build-package/ or the folder named.
#   bash scripts/package.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-package}"
launcher=()
if command -v ccache >/dev/null 2>&1; then
    export CCACHE_BASEDIR="$PWD"
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -C packaging/package-cache.cmake -S . -B "$build" "${launcher[@]}"
cmake --build "$build" -j"$(nproc)" --target packages
ls -1 "$(cd "$build" && pwd)"/*.deb
