#!/usr/bin/env bash
# CI: the core and quorvane-cli for 64-bit Windows, cross-compiled with
# MinGW-w64 and statically linked, and the program run under Wine: its report
# of the example must equal the Linux program's byte for byte.
#
# Usage: scripts/ci/windows.sh [LINUX_BUILD_DIR]   (default: build; its
# quorvane-cli is built there if missing)
set -euo pipefail
cd "$(dirname "$0")/../.."
linux_build=${1:-build}
build=build-ci-windows

packages=(g++-mingw-w64-x86-64-posix wine64)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  echo "==> Windows: installing ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" > /dev/null
fi

# CLI11 is header-only; its package on the build machine points at
# /usr/include, which must not come before MinGW's own headers. Stage it.
mkdir -p "$build/cli11/share/cmake" "$build/cli11/include"
cp -r /usr/share/cmake/CLI11 "$build/cli11/share/cmake/"
ln -sfn /usr/include/CLI "$build/cli11/include/CLI"

echo "==> Windows: configuring ($build)"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUORVANE_WERROR=ON \
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/x86_64-w64-mingw32.cmake \
  -DCLI11_DIR="$PWD/$build/cli11/share/cmake/CLI11" \
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

echo "==> Windows: the example's report under Wine equals the Linux one"
export WINEPREFIX="$PWD/$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
args=(--controls 20 --covariates 2 examples/controls-and-case.txt)
"$linux_build/quorvane-cli" "${args[@]}" > "$build/example-report-linux.txt"
"$wine" "$build/quorvane-cli.exe" "${args[@]}" > "$build/example-report-windows.txt"
cmp "$build/example-report-windows.txt" "$build/example-report-linux.txt"
echo "Reports identical ($(wc -c < "$build/example-report-linux.txt") bytes)."
"$wine" wineboot --shutdown > /dev/null 2>&1 || true
