#!/usr/bin/env bash
# Renders the desktop program's two windows on Qt's offscreen platform (no
# display needed): docs/worksheet.png, the worksheet as it starts, and
# docs/results-viewer.png, the results viewer after a real analysis of
# examples/controls-and-case.txt (20 controls, 2 covariates, 1,000,000 draws).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${QUORVANE_BUILD_DIR:-build}
cmake -S . -B "$build" -DQUORVANE_BUILD_GUI=ON > /dev/null
cmake --build "$build" --target quorvane-screenshots -j "$(nproc)"
QT_QPA_PLATFORM=offscreen "$build/src/gui/quorvane-screenshots" docs \
  examples/controls-and-case.txt 20 2
