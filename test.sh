#!/usr/bin/env bash
# Builds Quorvane and runs its whole test suite (unit, command-line and
# desktop tests; the desktop tests use Qt's offscreen platform).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
build=${QUORVANE_BUILD_DIR:-build}
echo "==> Configuring ($build)"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUORVANE_WERROR=ON > "$build.configure.log" 2>&1 \
  || { cat "$build.configure.log"; exit 1; }
echo "==> Building"
cmake --build "$build" -j "$(nproc)"
echo "==> Running the tests"
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
