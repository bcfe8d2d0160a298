#!/usr/bin/env bash
# Builds Quorvane and runs its main job: the analysis of the example data file
# with the command-line program (the report goes to the terminal).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
build=${QUORVANE_BUILD_DIR:-build}
echo "==> Configuring ($build)"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release > "$build.configure.log" 2>&1 \
  || { cat "$build.configure.log"; exit 1; }
echo "==> Building"
cmake --build "$build" -j "$(nproc)"
echo "==> Analysing examples/controls-and-case.txt (20 controls, 2 covariates)"
exec "$build/quorvane-cli" --controls 20 --covariates 2 examples/controls-and-case.txt
