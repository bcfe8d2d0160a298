#!/usr/bin/env bash
# CI: the core cross-compiles for Linux on 64-bit Arm (Debian's
# g++-aarch64-linux-gnu). long double is not the x87 format there, so the
# configuration must refuse unless asked explicitly, and then build.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=build-ci-aarch64

scripts/install-packages.sh aarch64 g++-aarch64-linux-gnu

# Boost.Math is header-only, but its CMake files lie in the build machine's
# architecture folder, which a cross build does not search: its headers are
# staged alone (not all of /usr/include) and named to CMake's Boost module.
staged="$PWD/$build-boost/include"
mkdir -p "$staged"
ln -sfn /usr/include/boost "$staged/boost"

options=(-DCMAKE_BUILD_TYPE=Release -DQUORVANE_WERROR=ON
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/aarch64-linux-gnu.cmake
  -DBoost_NO_BOOST_CMAKE=ON -DBoost_INCLUDE_DIR="$staged"
  -DQUORVANE_BUILD_GUI=OFF -DQUORVANE_BUILD_TESTS=OFF -DQUORVANE_BUILD_BENCH=OFF)

echo "==> aarch64: the configuration refuses without the opt-in"
rm -rf "$build-refused"
if cmake -S . -B "$build-refused" "${options[@]}" > "$build-refused.log" 2>&1; then
  echo "configured although long double is not the x87 format" >&2
  exit 1
fi
grep -q "long double is not the x87 80-bit format" "$build-refused.log" \
  || { cat "$build-refused.log"; exit 1; }

echo "==> aarch64: configuring with QUORVANE_ALLOW_NON_X87_LONG_DOUBLE=ON ($build)"
cmake -S . -B "$build" "${options[@]}" -DQUORVANE_ALLOW_NON_X87_LONG_DOUBLE=ON \
  > "$build.configure.log" 2>&1 || { cat "$build.configure.log"; exit 1; }
grep -q '^QUORVANE_X87_KERNELS:BOOL=OFF$' "$build/CMakeCache.txt"

echo "==> aarch64: building the core"
cmake --build "$build" -j "$(nproc)" --target quorvane_core
aarch64-linux-gnu-objdump -f "$build/libquorvane_core.a" | grep -q "architecture: aarch64"
echo "quorvane_core built for aarch64."
