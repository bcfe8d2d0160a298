#!/usr/bin/env bash
# Builds Quorvane and runs it: the desktop program when a display is available
# ($DISPLAY or $WAYLAND_DISPLAY set), otherwise the analysis of the example
# data file with the command-line program (the report goes to the terminal).
# ./run.sh --cli runs the command-line example even where there is a display.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
build=${QUORVANE_BUILD_DIR:-build}
echo "==> Configuring ($build)"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release > "$build.configure.log" 2>&1 \
  || { cat "$build.configure.log"; exit 1; }
echo "==> Building"
cmake --build "$build" -j "$(nproc)"
if [ "${1:-}" != "--cli" ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  echo "==> Starting the desktop program (try 20 controls, 2 covariates and the data file"
  echo "    examples/controls-and-case.txt)"
  exec "$build/src/gui/quorvane"
fi
echo "==> Analysing examples/controls-and-case.txt (20 controls, 2 covariates)"
exec "$build/quorvane-cli" --controls 20 --covariates 2 examples/controls-and-case.txt
