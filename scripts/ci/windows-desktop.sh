#!/usr/bin/env bash
# CI: the desktop program for 64-bit Windows. Cross-compiles quorvane.exe,
# quorvane-cli.exe and the desktop program's tests with MinGW-w64 against the
# static Qt that scripts/windows/build-qt.sh builds (from its cache when it
# is there, about half an hour when it is not), checks that the programs
# import no DLLs but Windows' own, runs the tests under Wine on Qt's
# offscreen platform, builds the installer, and runs
# scripts/windows/wine-desktop-check.sh: a silent install under Wine, the
# installed program on an X server, the example analysed through its window
# and the saved report compared with the Linux one, byte for byte.
#
# Usage: scripts/ci/windows-desktop.sh [LINUX_BUILD_DIR] [SHOTS_DIR]
#   LINUX_BUILD_DIR  the Linux build (default: build; its quorvane-cli is
#                    built there if missing), for the reference report
#   SHOTS_DIR        also take the screenshots there (see wine-desktop-check.sh)
# The build goes to build-ci-windows-desktop (QUORVANE_WINDOWS_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/../.."
linux_build=${1:-build}
shots=${2:-}
build=${QUORVANE_WINDOWS_BUILD_DIR:-build-ci-windows-desktop}
version=$(sed -n 's/^project(Quorvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
start=$SECONDS

scripts/install-packages.sh "Windows desktop" g++-mingw-w64-x86-64-posix wine64 ninja-build \
  nsis xvfb xauth openbox xdotool imagemagick libgtest-dev libgmock-dev googletest \
  libcli11-dev nlohmann-json3-dev libboost-math-dev poppler-utils fonts-liberation

qt=$(scripts/windows/build-qt.sh | tail -n 1)
echo "==> Windows desktop: Qt from $qt ($((SECONDS - start)) s)"
mkdir -p "$build"

# GoogleTest for MinGW, from Debian's source of it.
gtest="$PWD/$build/googletest"
if [ ! -f "$gtest/lib/cmake/GTest/GTestConfig.cmake" ]; then
  echo "==> Windows desktop: GoogleTest for MinGW"
  cmake -S /usr/src/googletest -B "$build/googletest-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchains/x86_64-w64-mingw32.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$gtest" > "$build/googletest.log" 2>&1
  cmake --build "$build/googletest-build" -j "$(nproc)" >> "$build/googletest.log" 2>&1
  cmake --install "$build/googletest-build" >> "$build/googletest.log" 2>&1
fi

# CLI11, nlohmann_json and Boost.Math are header-only; their packages on the
# build machine point at /usr/include, which must not come before MinGW's own
# headers. Stage them with only their own headers (as scripts/ci/windows.sh).
staged="$PWD/$build/header-only"
mkdir -p "$staged/share/cmake" "$staged/include"
for package in CLI11:CLI nlohmann_json:nlohmann; do
  cp -r "/usr/share/cmake/${package%%:*}" "$staged/share/cmake/"
  ln -sfn "/usr/include/${package#*:}" "$staged/include/${package#*:}"
done
ln -sfn /usr/include/boost "$staged/include/boost"

# The tests read printed PDF files back with the build machine's pdftotext,
# through a small Windows program that hands it Linux paths.
x86_64-w64-mingw32-gcc-posix -O2 -Wall -Wextra -Werror -municode \
  -o "$build/wine-pdftotext.exe" scripts/windows/wine-pdftotext.c

echo "==> Windows desktop: configuring ($build)"
# Qt's toolchain file finds the Windows Qt; it chain-loads the project's
# MinGW toolchain. PNG files are written with the libpng (and zlib) built
# into that Qt. The tests are listed when CTest runs (never at build time on
# this machine).
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVANE_WERROR=ON \
  -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
  -DQT_CHAINLOAD_TOOLCHAIN_FILE="$PWD/cmake/toolchains/x86_64-w64-mingw32.cmake" \
  -DCLI11_DIR="$staged/share/cmake/CLI11" -Dnlohmann_json_DIR="$staged/share/cmake/nlohmann_json" \
  -DBoost_NO_BOOST_CMAKE=ON -DBoost_INCLUDE_DIR="$staged/include" \
  -DGTest_DIR="$gtest/lib/cmake/GTest" \
  -DPNG_PNG_INCLUDE_DIR="$qt/include/QtPng" -DPNG_LIBRARY="$qt/lib/libQt6BundledLibpng.a" \
  -DZLIB_INCLUDE_DIR="$qt/include/QtZlib" -DZLIB_LIBRARY="$qt/lib/libQt6BundledZLIB.a" \
  -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST \
  -DPDFTOTEXT_EXECUTABLE="Z:$PWD/$build/wine-pdftotext.exe" \
  -DQUORVANE_BUILD_BENCH=OFF > "$build/configure.log" 2>&1 || {
  cat "$build/configure.log"
  exit 1
}
grep -q "^Qt6_DIR:PATH=$qt/" "$build/CMakeCache.txt" || {
  echo "the Windows build did not find the Windows Qt in $qt" >&2
  exit 1
}

echo "==> Windows desktop: building quorvane.exe, quorvane-cli.exe, quorvane-plot.exe and the tests"
build_start=$SECONDS
cmake --build "$build" -j "$(nproc)" --target quorvane quorvane-cli quorvane-plot quorvane-gui-tests
echo "==> Windows desktop: built in $((SECONDS - build_start)) s"

export WINEPREFIX="$PWD/$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
. scripts/windows/wine-tools.sh
[ -d "$WINEPREFIX/drive_c/windows/system32" ] || "$wine" wineboot --init > /dev/null 2>&1

# Statically linked: every DLL the programs import is one of Windows' own
# (one that Wine's system folder has too, or an API set). The stripped programs go to dist/.
dist="$build/dist"
mkdir -p "$dist"
for target in quorvane quorvane-cli quorvane-plot; do
  path=$(sed -n "s/^${target}_EXE=//p" "$build/windows-programs.txt")
  x86_64-w64-mingw32-strip -o "$dist/$target.exe" "$path"
  dlls=$(x86_64-w64-mingw32-objdump -p "$dist/$target.exe" | sed -n 's/^\s*DLL Name: //p' | sort -u)
  for dll in $dlls; do
    # api-ms-win-*: Windows' API sets, names that the system resolves itself.
    [[ ${dll,,} == api-ms-win-* ]] || [ -f "$WINEPREFIX/drive_c/windows/system32/${dll,,}" ] || {
      echo "$target.exe imports $dll, which is not a Windows DLL: not statically linked" >&2
      exit 1
    }
  done
  echo "==> Windows desktop: $target.exe is $(stat -c %s "$dist/$target.exe") bytes (stripped)," \
    "imports only $(echo $dlls)"
done

echo "==> Windows desktop: the desktop program's tests under Wine (offscreen)"
tests_start=$SECONDS
# Tests left out under Wine, each with its reason (the README's Windows
# section lists them too):
excluded_tests=(
  # Full-disk tests: they need a small tmpfs mounted in a mount namespace of
  # their own (tests/small_disk.sh), which only Linux has.
  "SmallDiskGui.*"
  # The dropped file's name in the report is the Windows form of its path
  # (Z:/work/...), which the Linux reference report does not have.
  "ComputeRunTest.ADroppedDataFileIsOpenedByTheNextComputeWithoutTheDialog"
)
excluded=$(IFS=:; echo "${excluded_tests[*]}")
# Wine hands the QT_* variables of the environment to Windows programs only
# when they are given as WINEQT_*.
screen="offscreen:configfile=$PWD/tests/gui/offscreen-1280x900.json"
# On Windows Qt's offscreen platform finds fonts only in one folder (no
# system font configuration): the build machine's fonts, gathered there.
fonts="$PWD/$build/fonts"
mkdir -p "$fonts"
find /usr/share/fonts -type f \( -name '*.ttf' -o -name '*.otf' \) -exec ln -sf -t "$fonts" {} +
gui_tests=$(find "$build/tests" -name quorvane-gui-tests.exe | head -n 1)
WINEQT_QPA_PLATFORM="$screen" WINEQT_QPA_FONTDIR="Z:$fonts" "$wine" "$gui_tests" \
  --gtest_filter="-ScreenFitTest.*${excluded:+:$excluded}" \
  --gtest_output="xml:$build/gui-tests-wine.xml" > "$build/gui-tests-wine.log" 2>&1 || {
  tail -n 80 "$build/gui-tests-wine.log"
  echo "the desktop program's tests failed under Wine (log: $build/gui-tests-wine.log)" >&2
  exit 1
}
grep -E '^\[==========\]|^\[  PASSED  \]' "$build/gui-tests-wine.log"
for scale in 1 1.5 2; do
  WINEQT_QPA_PLATFORM="$screen" WINEQT_QPA_FONTDIR="Z:$fonts" WINEQT_SCALE_FACTOR=$scale "$wine" \
    "$gui_tests" --gtest_filter='ScreenFitTest.*' \
    > "$build/gui-tests-wine-screen-fit-$scale.log" 2>&1 || {
    tail -n 40 "$build/gui-tests-wine-screen-fit-$scale.log"
    echo "the screen-fit tests failed under Wine at scale $scale" >&2
    exit 1
  }
  echo "screen fit at scale $scale: $(grep -E '^\[  PASSED  \]' "$build/gui-tests-wine-screen-fit-$scale.log")"
done
"$wineserver" -k > /dev/null 2>&1 || true
echo "==> Windows desktop: tests under Wine took $((SECONDS - tests_start)) s"

echo "==> Windows desktop: the installer"
installer="$PWD/$build/quorvane-setup-$version.exe"
makensis -V2 -DVERSION="$version" -DBINDIR="$PWD/$dist" -DOUTFILE="$installer" \
  scripts/windows/quorvane.nsi
echo "==> Windows desktop: $(basename "$installer") is $(stat -c %s "$installer") bytes"

[ -x "$linux_build/quorvane-cli" ] || cmake --build "$linux_build" -j "$(nproc)" --target quorvane-cli
scripts/windows/wine-desktop-check.sh "$installer" "$linux_build/quorvane-cli" "$build/desktop-check" \
  ${shots:+"$shots"}
echo "==> Windows desktop: done in $((SECONDS - start)) s"
