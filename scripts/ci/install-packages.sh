#!/usr/bin/env bash
# Installs the Debian packages named that are missing (with sudo when not
# root). Used by the CI scripts that need more than scripts/install-deps.sh.
#   scripts/ci/install-packages.sh WHAT PACKAGE...
set -euo pipefail
what=$1
shift
missing=()
for p in "$@"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
echo "==> $what: installing ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
  "${missing[@]}" > /dev/null
