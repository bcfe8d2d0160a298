#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs each from its committed seed corpus.
#   scripts/ci/fuzz.sh [SECONDS]   (default 60 per target)
# Any crash, sanitizer report, "nan"/"inf" in a report or hang (an input that
# takes more than 60 s) fails. (The slowest legitimate input known: the
# calibrated prior refusing a run after 2^20 rejected candidates, 0.3 s in the
# release build and about 30 s under the sanitizers.) Findings are written to
# build-fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-60}
build=build-fuzz

# clang's fuzzing and sanitizer runtimes come in the package of its version.
scripts/install-packages.sh fuzzing clang
clang_major=$(clang -dumpversion | cut -d. -f1)
scripts/install-packages.sh fuzzing "libclang-rt-$clang_major-dev"
sanitizers="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS="$sanitizers" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DQUORVANE_FUZZERS=ON -DQUORVANE_BUILD_GUI=OFF -DQUORVANE_BUILD_TESTS=OFF \
  -DQUORVANE_BUILD_BENCH=OFF -DQUORVANE_X87_KERNELS=OFF > "$build.configure.log" 2>&1 \
  || { cat "$build.configure.log"; exit 1; }
targets=(loader summary cases compute)
cmake --build "$build" -j "$(nproc)" --target "${targets[@]/#/quorvane-fuzz-}"
mkdir -p "$build/findings"
for target in "${targets[@]}"; do
  corpus="$build/corpus-$target"
  mkdir -p "$corpus"
  echo "==> fuzzing the $target for $seconds s"
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    "$build/fuzz/quorvane-fuzz-$target" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=2048 \
    -max_len=8192 -artifact_prefix="$build/findings/$target-" -print_final_stats=1 \
    "$corpus" "fuzz/corpus/$target" 2>&1 | tail -n 12
done
