# Sourced by the scripts that run Windows programs: sets wine and wineserver
# to Debian's Wine for 64-bit programs, looked up on PATH first, then where
# Debian's wine64 package puts them outside PATH.
wine=$(command -v wine64 || command -v wine || true)
[ -n "$wine" ] || wine=$(ls /usr/lib/wine/wine64 2>/dev/null || true)
wineserver=$(command -v wineserver64 || command -v wineserver || true)
[ -n "$wineserver" ] || wineserver=$(ls /usr/lib/wine/wineserver64 2>/dev/null || true)
if [ ! -x "$wine" ] || [ ! -x "$wineserver" ]; then
  echo "no Wine for 64-bit programs found (Debian package wine64)" >&2
  exit 1
fi
