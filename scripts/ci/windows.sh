#!/usr/bin/env bash
# CI: the core and quorvane-cli for 64-bit Windows, cross-compiled with
# MinGW-w64 and statically linked, and the program run under Wine: its report
# of the example, and the results as JSON and CSV, must equal the Linux
# program's byte for byte.
#
# Usage: scripts/ci/windows.sh [LINUX_BUILD_DIR]   (default: build; its
# quorvane-cli is built there if missing)
set -euo pipefail
cd "$(dirname "$0")/../.."
linux_build=${1:-build}
build=build-ci-windows

scripts/install-packages.sh Windows g++-mingw-w64-x86-64-posix wine64

# CLI11, nlohmann_json and Boost.Math are header-only; their packages on the
# build machine point at /usr/include, which must not come before MinGW's own
# headers. Stage them with only their own headers.
staged="$PWD/$build/header-only"
mkdir -p "$staged/share/cmake" "$staged/include"
for package in CLI11:CLI nlohmann_json:nlohmann; do
  cp -r "/usr/share/cmake/${package%%:*}" "$staged/share/cmake/"
  ln -sfn "/usr/include/${package#*:}" "$staged/include/${package#*:}"
done
ln -sfn /usr/include/boost "$staged/include/boost"

echo "==> Windows: configuring ($build)"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUORVANE_WERROR=ON \
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/x86_64-w64-mingw32.cmake \
  -DCLI11_DIR="$staged/share/cmake/CLI11" -Dnlohmann_json_DIR="$staged/share/cmake/nlohmann_json" \
  -DBoost_NO_BOOST_CMAKE=ON -DBoost_INCLUDE_DIR="$staged/include" \
  -DQUORVANE_BUILD_GUI=OFF -DQUORVANE_BUILD_TESTS=OFF -DQUORVANE_BUILD_BENCH=OFF \
  > "$build.configure.log" 2>&1 || { cat "$build.configure.log"; exit 1; }
grep -q '^QUORVANE_X87_KERNELS:BOOL=OFF$' "$build/CMakeCache.txt"

echo "==> Windows: building"
cmake --build "$build" -j "$(nproc)" --target quorvane-cli
# Statically linked: the program imports no DLL of the toolchain.
if x86_64-w64-mingw32-objdump -p "$build/quorvane-cli.exe" | grep -iE 'DLL Name: (libstdc|libgcc|libwinpthread)'; then
  echo "quorvane-cli.exe is not statically linked" >&2
  exit 1
fi

[ -x "$linux_build/quorvane-cli" ] || cmake --build "$linux_build" -j "$(nproc)" --target quorvane-cli

echo "==> Windows: the example's report (and its JSON and CSV) under Wine equals the Linux one"
export WINEPREFIX="$PWD/$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
. scripts/windows/wine-tools.sh
args=(--controls 20 --covariates 2 examples/controls-and-case.txt)
for format in text json csv; do
  "$linux_build/quorvane-cli" --format "$format" "${args[@]}" > "$build/example-$format-linux.txt"
  "$wine" "$build/quorvane-cli.exe" --format "$format" "${args[@]}" > "$build/example-$format-windows.txt"
  cmp "$build/example-$format-windows.txt" "$build/example-$format-linux.txt"
  echo "$format: identical ($(wc -c < "$build/example-$format-linux.txt") bytes)."
done
"$wine" wineboot --shutdown > /dev/null 2>&1 || true
