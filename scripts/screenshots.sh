#!/usr/bin/env bash
# Renders the desktop program's windows on Qt's offscreen platform (no
# display needed), on a 1280 x 900 screen: docs/worksheet.png, the worksheet
# as it starts, docs/summary-worksheet.png, the worksheet with summary
# statistics typed in and the deficit option on, docs/results-viewer.png, the results viewer after a real
# analysis of examples/controls-and-case.txt (20 controls, 2 covariates,
# 1,000,000 draws), and docs/results-viewer-plots.png, the same with its plot
# panel beside the report, all at 100%; and docs/worksheet-on-screen-200.png and
# docs/results-viewer-on-screen-200.png, the whole screen at 200% with the
# worksheet where the program places it, and with the results viewer after
# the same analysis, and docs/summary-worksheet-on-screen-200.png, the
# worksheet of docs/summary-worksheet.png on that screen. The windows' face is Liberation Sans (the tests' face),
# or the one named by QUORVANE_SCREENSHOT_FACE, so that the pictures do not
# depend on the fonts this machine prefers.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${QUORVANE_BUILD_DIR:-build}
cmake -S . -B "$build" -DQUORVANE_BUILD_GUI=ON > /dev/null
cmake --build "$build" --target quorvane-screenshots -j "$(nproc)"
screen="offscreen:configfile=$PWD/tests/gui/offscreen-1280x900.json"
face=(--face "${QUORVANE_SCREENSHOT_FACE:-Liberation Sans}")
example=(examples/controls-and-case.txt 20 2)
QT_QPA_PLATFORM=$screen "$build/src/gui/quorvane-screenshots" "${face[@]}" docs "${example[@]}"
QT_QPA_PLATFORM=$screen QT_SCALE_FACTOR=2 "$build/src/gui/quorvane-screenshots" "${face[@]}" \
  --on-screen docs/worksheet-on-screen-200.png docs/results-viewer-on-screen-200.png \
  "${example[@]}"
QT_QPA_PLATFORM=$screen QT_SCALE_FACTOR=2 "$build/src/gui/quorvane-screenshots" "${face[@]}" \
  --summary-on-screen docs/summary-worksheet-on-screen-200.png
# On a real display with a window manager (Xvfb and openbox, 1280 x 900), frames
# and all: docs/results-viewer-deficit-plots.png, the results viewer with the
# example's report and its four plots (the deficit tests on), at 100%;
# docs/results-viewer-plots-on-screen-200.png, the plots window at 200%;
# docs/print-preview.png and docs/about-box.png. Skipped where Xvfb or openbox
# is missing (apt-get install xvfb openbox).
if command -v Xvfb > /dev/null && command -v openbox > /dev/null; then
  display=:$((90 + RANDOM % 9))
  Xvfb "$display" -screen 0 1280x900x24 > /dev/null 2>&1 &
  xvfb=$!
  sleep 1
  DISPLAY=$display openbox > /dev/null 2>&1 &
  wm=$!
  sleep 1
  scratch=$(mktemp -d)
  for scale in 1 2; do
    DISPLAY=$display QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$scale \
      "$build/src/gui/quorvane-screenshots" "${face[@]}" --desktop "$scratch/viewer-$scale.png" \
      "$scratch/preview-$scale.png" "$scratch/about-$scale.png" "${example[@]}"
  done
  kill "$wm" "$xvfb"
  cp "$scratch/viewer-1.png" docs/results-viewer-deficit-plots.png
  cp "$scratch/viewer-2.png" docs/results-viewer-plots-on-screen-200.png
  cp "$scratch/preview-1.png" docs/print-preview.png
  cp "$scratch/about-1.png" docs/about-box.png
  rm -r "$scratch"
else
  echo "screenshots.sh: Xvfb and openbox are needed for the pictures with window frames" >&2
fi
