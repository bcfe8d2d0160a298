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
  fonts-liberation poppler-utils xvfb xauth
  file  # for cpack -G DEB (it looks at the installed files with it)
  python3-minimal  # checks that the generated x87 kernels are current
  python3-numpy  # scripts/validate (the validation study)
  python3-scipy python3-mpmath  # the deficit tests' reference values (tests/deficit_reference.py)
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "==> All build dependencies are installed."
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
echo "==> Installing missing packages: ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
