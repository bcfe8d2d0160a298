#!/usr/bin/env bash
# Draws src/gui/resources/windows/quorvane.ico, the Windows programs' icon,
# from src/gui/resources/quorvane.svg at the sizes Windows shows (16 to 256
# pixels). Run it after changing the SVG; the .ico is kept in the repository
# so that builds need neither tool (Debian packages librsvg2-bin, icoutils).
set -euo pipefail
cd "$(dirname "$0")/../.."
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
sizes=(16 20 24 32 40 48 64 256)
for size in "${sizes[@]}"; do
  rsvg-convert -w "$size" -h "$size" src/gui/resources/quorvane.svg -o "$scratch/$size.png"
done
# The 256-pixel image stays PNG inside the .ico; the smaller ones are bitmaps.
icotool -c -o src/gui/resources/windows/quorvane.ico \
  $(for s in "${sizes[@]}"; do [ "$s" = 256 ] && echo "-r $scratch/$s.png" || echo "$scratch/$s.png"; done)
echo "wrote src/gui/resources/windows/quorvane.ico"
