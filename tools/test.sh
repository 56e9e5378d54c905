#!/usr/bin/env bash
# Builds Quorvane with warnings as errors and runs every test.
# usage: tools/test.sh            (build in build/)
#        BUILD_DIR=build-asan SANITIZE=ON tools/test.sh   (AddressSanitizer + UndefinedBehaviorSanitizer)
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh test
build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -DQUORVANE_WERROR=ON -DQUORVANE_SANITIZE="${SANITIZE:-OFF}" ${CMAKE_ARGS:-}
cmake --build "$build_dir" -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)"
