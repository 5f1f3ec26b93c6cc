#!/usr/bin/env bash
# Redraws docs/window.png: the window in run mode with example rules and log rows, drawn
# offscreen (no display needed). Run after `make run` or `make test` has built the tree.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
cmake --build "$build" --target window_screenshot
QT_QPA_PLATFORM=offscreen "$build/tools/window_screenshot" docs/window.png
echo "wrote docs/window.png"
