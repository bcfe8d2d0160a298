#!/usr/bin/env bash
# CI: the engines built without the x87 kernels (the portable evaluation, as on
# every platform but Linux x86-64) give the same bits. Builds the core tests
# and the command-line program with QUORVANE_X87_KERNELS=OFF in their own
# folder, runs the engines' tests (the bit-for-bit agreement with the reference
# run, the pinned results, the per-draw evaluation), and compares the report of
# the example with the one of the default build.
#
# Usage: scripts/ci/portable.sh [DEFAULT_BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/../.."
default_build=${1:-build}
build=build-ci-portable

echo "==> Portable engines: configuring ($build)"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUORVANE_WERROR=ON \
  -DQUORVANE_X87_KERNELS=OFF -DQUORVANE_BUILD_GUI=OFF -DQUORVANE_BUILD_BENCH=OFF \
  > "$build.configure.log" 2>&1 || { cat "$build.configure.log"; exit 1; }
grep -q '^QUORVANE_X87_KERNELS:BOOL=OFF$' "$build/CMakeCache.txt"

echo "==> Portable engines: building"
cmake --build "$build" -j "$(nproc)" --target quorvane-engine-tests quorvane-cli

echo "==> Portable engines: the engines' tests (CTest label \"engines\")"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" -L '^engines$' --no-tests=error

echo "==> Portable engines: the example's report equals the default build's"
args=(--controls 20 --covariates 2 examples/controls-and-case.txt)
"$build/quorvane-cli" "${args[@]}" > "$build/example-report.txt"
"$default_build/quorvane-cli" "${args[@]}" > "$build/example-report-default.txt"
cmp "$build/example-report.txt" "$build/example-report-default.txt"
echo "Reports identical ($(wc -c < "$build/example-report.txt") bytes)."
