#!/usr/bin/env bash
# CI: the tests that run analyses on several threads at once, built with
# ThreadSanitizer: analyses on parallel threads (each on one or two engine
# threads), the engine's two threads against the reference run, cancelling a
# two-thread run, the shared draws of many cases, and the many-cases batch. A
# data race fails the run, and so does a selection that runs no test.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=build-tsan
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_WERROR=ON \
  -DCMAKE_CXX_FLAGS="-fsanitize=thread -Wno-maybe-uninitialized" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" \
  -DQUORVANE_BUILD_GUI=OFF -DQUORVANE_BUILD_BENCH=OFF > "$build.configure.log" 2>&1 \
  || { cat "$build.configure.log"; exit 1; }
cmake --build "$build" -j "$(nproc)" --target quorvane-tests quorvane-engine-tests
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
run() {
  local binary=$1 filter=$2 log
  log=$("$build/tests/$binary" --gtest_filter="$filter" 2>&1) || { echo "$log"; exit 1; }
  echo "$log" | grep -E '^\[  PASSED  \]'
  echo "$log" | grep -qE '^\[  PASSED  \] [1-9][0-9]* test' || { echo "$log"; echo "no test ran" >&2; exit 1; }
}
run quorvane-tests 'RunAnalysis.Concurrent*:RunBatch.*:-RunBatch.EveryCsvField*'
run quorvane-engine-tests 'BothEngines/EngineAgreement.*:Engines.Progress*:SharedDraws.*'
