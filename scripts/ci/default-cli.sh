#!/usr/bin/env bash
# CI: the default build's command-line programs (quorvane-cli and
# quorvane-plot, Release, warnings as errors), which the portable and Windows
# checks compare their reports with. (The whole suite is built and run on the
# fresh root, as the README says.)
#   scripts/ci/default-cli.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
./scripts/install-deps.sh
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUORVANE_WERROR=ON > "$build.configure.log" 2>&1 \
  || { cat "$build.configure.log"; exit 1; }
cmake --build "$build" -j "$(nproc)" --target quorvane-cli quorvane-plot
