#!/usr/bin/env bash
# Installs the Debian 12 packages Quorvane needs to build, test and run,
# when any of them is missing. Uses sudo when not run as root.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
  nlohmann-json3-dev  # JSON output of results
  qt6-base-dev libqt6printsupport6 qt6-charts-dev qt6-svg-dev libgl-dev libpng-dev
  fonts-liberation poppler-utils xvfb xauth
  file  # for cpack -G DEB (it looks at the installed files with it)
  python3-minimal  # checks that the generated x87 kernels are current
  python3-numpy  # scripts/validate (the validation study)
)

exec "$(dirname "$0")/install-packages.sh" "Build dependencies" "${packages[@]}"
