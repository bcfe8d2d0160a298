#!/usr/bin/env bash
# Installs the Debian 12 packages Quorvane needs to build, test and run,
# when any of them is missing. Uses sudo when not run as root.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
  nlohmann-json3-dev  # JSON output of results
  libboost-math-dev  # the deficit tests' Student t and non-central t distributions
  qt6-base-dev libqt6printsupport6 qt6-charts-dev qt6-svg-dev libgl-dev libpng-dev
  poppler-utils xvfb xauth
  openbox  # a window manager for the screenshots with window frames (scripts/screenshots.sh)
  # The windows' faces: Liberation for the program; the desktop tests also run
  # with the other common sans-serif faces of Linux desktops.
  fonts-liberation fonts-dejavu-core fonts-noto-core fonts-cantarell
  locales  # a locale with a decimal comma (de_DE.UTF-8, generated below) for a test
  file  # for cpack -G DEB (it looks at the installed files with it)
  python3-minimal  # checks that the generated x87 kernels are current
  python3-numpy  # scripts/validate (the validation study)
  python3-scipy python3-mpmath  # the deficit tests' reference values (tests/deficit_reference.py)
)

"$(dirname "$0")/install-packages.sh" "Build dependencies" "${packages[@]}"

# The test of numbers under a locale with a decimal comma needs one.
if ! locale -a 2>/dev/null | grep -qx 'de_DE\.utf8'; then
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  echo "==> Generating the locale de_DE.UTF-8"
  "${sudo_cmd[@]}" sed -i 's/^# *\(de_DE\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -qx 'de_DE\.UTF-8 UTF-8' /etc/locale.gen \
    || echo 'de_DE.UTF-8 UTF-8' | "${sudo_cmd[@]}" tee -a /etc/locale.gen > /dev/null
  "${sudo_cmd[@]}" locale-gen > /dev/null
fi
