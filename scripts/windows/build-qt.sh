#!/usr/bin/env bash
# Builds Qt (qtbase only) for 64-bit Windows as static libraries, from
# Debian's source package qt6-base, cross-compiled with MinGW-w64 and using
# Debian's Linux Qt tools (moc, rcc, uic) of the same version. The result is a
# Qt prefix in a cache folder outside the repository, reused as long as the
# Qt version and the options below stay the same.
#
# Usage: scripts/windows/build-qt.sh [--print-prefix]
#   --print-prefix  print the prefix the current version and options use, and
#                   exit (0 when it is built, 1 when it is not)
# Otherwise builds the prefix when it is missing and prints its path as the
# last line of standard output.
#
# Environment:
#   QUORVANE_QT_CACHE  folder for the prefixes and the source tarball
#                      (default: ${XDG_CACHE_HOME:-$HOME/.cache}/quorvane)
#   QUORVANE_QT_JOBS   parallel compile jobs (default: the number of cores)
#
# The prefix is $QUORVANE_QT_CACHE/qt-VERSION-mingw-HASH, HASH a digest of the
# Qt version, the configure options, the source patch, the toolchain file and
# the compiler's version; a prefix is only used once its build finished
# (the file .quorvane-complete in it). The build runs under nice -n 10: it
# takes about half an hour on two cores.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cache=${QUORVANE_QT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quorvane}
jobs=${QUORVANE_QT_JOBS:-$(nproc)}
# (Not named qt*.toolchain.cmake: Qt refuses a toolchain file of that name.)
toolchain="$here/x86_64-w64-mingw32-qt.cmake"

# Debian's Qt tools on the build machine must be those of the Qt built.
host_version=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools 2>/dev/null || true)
if [ -z "$host_version" ] && [ "${1:-}" != --print-prefix ]; then
  "$here/../install-packages.sh" "Qt for Windows" qt6-base-dev-tools qt6-base-dev
  host_version=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools)
fi
version=${host_version%%+*}
version=${version#*:}
version=${version:-6.4.2}

# Configure options. The bundled third-party libraries are used (there are
# no MinGW builds of them in Debian). Debian's tarball lacks wintab.h, so no
# tablet events.
options=(
  -DBUILD_SHARED_LIBS=OFF -DCMAKE_BUILD_TYPE=Release
  -DQT_BUILD_TESTS=OFF -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_BENCHMARKS=OFF
  -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF
  -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_zstd=OFF -DFEATURE_icu=OFF
  -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF
  -DFEATURE_system_jpeg=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_freetype=OFF
  -DFEATURE_system_doubleconversion=OFF
  -DFEATURE_tabletevent=OFF
)

# With OpenGL off, Qt 6.4's Windows platform plugin still uses OpenGL classes
# under QT_CONFIG(dynamicgl) in qwindowswindow.cpp; those blocks also need
# QT_CONFIG(opengl).
patch_file=src/plugins/platforms/windows/qwindowswindow.cpp
patch_sed='s/^#if QT_CONFIG(dynamicgl)$/#if QT_CONFIG(dynamicgl) \&\& QT_CONFIG(opengl)/'

set_prefix() {
  local compiler_version
  compiler_version=$(x86_64-w64-mingw32-g++-posix -dumpfullversion 2>/dev/null || echo none)
  hash=$(printf '%s\n' "$version" "${options[@]}" "$patch_file" "$patch_sed" "$compiler_version" \
    | cat - "$toolchain" | sha256sum | cut -c1-12)
  prefix="$cache/qt-$version-mingw-$hash"
}
set_prefix

if [ "${1:-}" = --print-prefix ]; then
  echo "$prefix"
  [ -f "$prefix/.quorvane-complete" ]
  exit
fi
if [ -f "$prefix/.quorvane-complete" ]; then
  echo "==> Qt $version for Windows: using $prefix" >&2
  echo "$prefix"
  exit 0
fi

start=$SECONDS
"$here/../install-packages.sh" "Qt for Windows" g++-mingw-w64-x86-64-posix ninja-build \
  cmake xz-utils qt6-base-dev-tools qt6-base-dev
set_prefix

# The source: Debian's orig tarball of qt6-base, fetched once through apt
# (which needs a deb-src entry for the same archive as the binary packages).
src_dir="$cache/src"
mkdir -p "$src_dir"
tarball=$(ls "$src_dir"/qt6-base_"$version"*.orig.tar.* 2>/dev/null | head -n 1 || true)
if [ -z "$tarball" ]; then
  if ! grep -rqs '^Types:.*deb-src\|^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    echo "==> Qt for Windows: adding a deb-src entry to apt's sources" >&2
    [ -f /etc/apt/sources.list.d/debian.sources ] || {
      echo "no /etc/apt/sources.list.d/debian.sources to copy a deb-src entry from" >&2
      exit 1
    }
    sudo_cmd=()
    [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
      | "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/debian-src.sources > /dev/null
    "${sudo_cmd[@]}" apt-get update -qq
  fi
  echo "==> Qt for Windows: fetching the source of qt6-base" >&2
  (cd "$src_dir" && apt-get source --download-only -qq qt6-base > /dev/null)
  tarball=$(ls "$src_dir"/qt6-base_"$version"*.orig.tar.* | head -n 1)
fi

# An unfinished build of the same version and options (an interrupted run)
# goes on where it stopped.
work="$cache/build-qt-$version-mingw-$hash"
rm -rf "$prefix"
if [ ! -f "$work/build/build.ninja" ]; then
  rm -rf "$work"
  mkdir -p "$work/src"
  echo "==> Qt $version for Windows: unpacking $(basename "$tarball")" >&2
  tar -xf "$tarball" -C "$work/src" --strip-components=1
  sed -i "$patch_sed" "$work/src/$patch_file"
  grep -q '^#if QT_CONFIG(dynamicgl) && QT_CONFIG(opengl)$' "$work/src/$patch_file"
  ! grep -q '^#if QT_CONFIG(dynamicgl)$' "$work/src/$patch_file"

  echo "==> Qt $version for Windows: configuring (log: $work/configure.log)" >&2
  nice -n 10 cmake -G Ninja -S "$work/src" -B "$work/build" \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    "${options[@]}" > "$work/configure.log" 2>&1 || {
    tail -n 60 "$work/configure.log" >&2
    rm -rf "$work/build"
    exit 1
  }
fi
echo "==> Qt $version for Windows: building with $jobs jobs (log: $work/build.log)" >&2
nice -n 10 cmake --build "$work/build" -j "$jobs" >> "$work/build.log" 2>&1 || {
  grep -B 2 -A 20 -m 3 'FAILED\|error:' "$work/build.log" >&2 || tail -n 60 "$work/build.log" >&2
  exit 1
}
nice -n 10 cmake --install "$work/build" > "$work/install.log" 2>&1 || {
  tail -n 30 "$work/install.log" >&2
  exit 1
}
printf 'Qt %s for x86_64-w64-mingw32 (static), built in %d s\n' "$version" $((SECONDS - start)) \
  > "$prefix/.quorvane-complete"
rm -rf "$work"
echo "==> Qt $version for Windows: built in $((SECONDS - start)) s into $prefix" >&2
echo "$prefix"
