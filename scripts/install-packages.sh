#!/usr/bin/env bash
# Installs the Debian packages named that are missing (with sudo when not
# root), saying what for. The one place where the scripts call apt.
#   scripts/install-packages.sh WHAT PACKAGE...
set -euo pipefail
what=$1
shift
missing=()
for p in "$@"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "==> $what: all needed packages are installed."
  exit 0
fi
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
echo "==> $what: installing ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
  "${missing[@]}" > /dev/null
