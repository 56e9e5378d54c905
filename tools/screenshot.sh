#!/usr/bin/env bash
# Refreshes docs/screenshot.png: the real window with the sample names split, drawn by the X11 platform
# under Xvfb at 96 dots per inch.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh test
build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir"
cmake --build "$build_dir" -j "$(nproc)" --target quorvane-screenshot quorvane_word_database quorvane_cursor
mkdir -p docs
export QT_QPA_PLATFORM=xcb
xvfb-run -a -s "-screen 0 1280x720x24 -dpi 96" \
    "$build_dir/tools/screenshot/quorvane-screenshot" "$build_dir/bin" docs/screenshot.png
echo "wrote docs/screenshot.png"
