#!/usr/bin/env bash
# Builds Quorvane and launches the window program from the build's application folder.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh build
cmake -S . -B build
cmake --build build -j "$(nproc)" --target quorvane
exec build/bin/quorvane "$@"
