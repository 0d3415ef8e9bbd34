#!/usr/bin/env bash
# Sets up, builds and starts Dealbrix.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target dealbrix
exec ./build/dealbrix
