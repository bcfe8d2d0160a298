#!/usr/bin/env bash
# The Windows desktop program as a user meets it, under Wine on a real X
# server (Xvfb, 1280 x 900, with the openbox window manager):
#   1. the installer installs silently (/S): both programs, the Start-menu
#      entries and the uninstall entry;
#   2. the installed quorvane.exe starts and shows its worksheet;
#   3. the example (examples/controls-and-case.txt, 20 controls, 2 covariates)
#      is analysed through the window, driven with xdotool: N and the number
#      of covariates typed, Enter, the file typed into the open dialog, the
#      notice answered, and the report saved with Save Output (Ctrl+S);
#   4. the saved report equals what the Linux program saves for the same
#      inputs and the same file name (quorvane-cli --output), byte for byte;
#   5. Exit ends the program, and the silent uninstaller removes it again.
#
# Usage: scripts/windows/wine-desktop-check.sh INSTALLER LINUX_CLI WORKDIR [SHOTS]
#   INSTALLER  quorvane-setup-VERSION.exe
#   LINUX_CLI  the Linux build's quorvane-cli (for the reference report)
#   WORKDIR    scratch folder (the Wine prefix goes there; emptied first)
#   SHOTS      if given, a folder for screenshots: windows-worksheet.png and
#              windows-results-viewer.png
set -euo pipefail
[ $# -ge 3 ] || {
  sed -n '2,/^set -e/p' "$0" | sed '$d'
  exit 2
}
root=$(cd "$(dirname "$0")/../.." && pwd)
installer=$(realpath "$1")
linux_cli=$(realpath "$2")
work=$3
shots=${4:-}
rm -rf "$work"
mkdir -p "$work"
work=$(realpath "$work")
[ -z "$shots" ] || { mkdir -p "$shots" && shots=$(realpath "$shots"); }

export WINEPREFIX="$work/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
. "$(dirname "$0")/wine-tools.sh"
pids=()
cleanup() {
  "$wineserver" -k > /dev/null 2>&1 || true
  for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null || true; done
}
trap cleanup EXIT
fail() {
  echo "wine-desktop-check: $*" >&2
  [ -z "${DISPLAY:-}" ] || import -window root "$work/failure.png" 2> /dev/null || true
  echo "(the screen at the failure: $work/failure.png)" >&2
  exit 1
}
# Waits (at most $1 seconds) for a visible window whose title matches $2 and
# prints its id.
window() {
  local limit=$1 name=$2 id
  for _ in $(seq $((limit * 4))); do
    id=$(xdotool search --onlyvisible --name "$name" 2> /dev/null | head -n 1 || true)
    [ -n "$id" ] && {
      echo "$id"
      return 0
    }
    sleep 0.25
  done
  return 1
}
# A screenshot of window $1 with its frame, once its contents have settled.
shot() {
  sleep 2
  import -frame -window "$1" "$2"
  echo "==> Windows desktop: screenshot $2 ($(identify -format '%wx%h' "$2"))"
}

# The X server, on the first free display from :91 on.
display=91
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
  display=$((display + 1))
done
export DISPLAY=":$display"
Xvfb "$DISPLAY" -screen 0 1280x900x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 40); do
  xdotool getdisplaygeometry > /dev/null 2>&1 && break
  sleep 0.25
done
xdotool getdisplaygeometry > /dev/null || fail "Xvfb did not start (see $work/xvfb.log)"
openbox > "$work/openbox.log" 2>&1 &
pids+=($!)

echo "==> Windows desktop: a new Wine prefix"
"$wine" wineboot --init > "$work/wineboot.log" 2>&1 || fail "wineboot failed"

echo "==> Windows desktop: installing silently ($(basename "$installer") /S)"
"$wine" "$installer" /S || fail "the installer failed"
program_dir="$WINEPREFIX/drive_c/Program Files/Quorvane"
menu_dir="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Quorvane"
for f in "$program_dir/quorvane.exe" "$program_dir/quorvane-cli.exe" "$program_dir/uninstall.exe" \
  "$menu_dir/Quorvane.lnk" "$menu_dir/Uninstall Quorvane.lnk"; do
  [ -f "$f" ] || fail "the installer did not install $f"
done
"$wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvane' \
  /v UninstallString > /dev/null || fail "no uninstall entry in the registry"

# The data file where a user keeps it; the open dialog is given its path.
mkdir -p "$WINEPREFIX/drive_c/data"
cp "$root/examples/controls-and-case.txt" "$WINEPREFIX/drive_c/data/"

echo "==> Windows desktop: the installed quorvane-cli.exe --plot (PNG, PDF; SVG refused)"
cli='C:\Program Files\Quorvane\quorvane-cli.exe'
for format in png:89504e47 pdf:25504446; do # the files' first four bytes
  plots="$WINEPREFIX/drive_c/data/plots.${format%%:*}"
  rm -f "$plots"
  (cd "$WINEPREFIX/drive_c/data" && "$wine" "$cli" --controls 20 --covariates 2 \
    --plot "plots.${format%%:*}" controls-and-case.txt > /dev/null 2>> "$work/cli.log") ||
    fail "quorvane-cli.exe --plot plots.${format%%:*} failed (see $work/cli.log)"
  [ -f "$plots" ] && [ "$(head -c 4 "$plots" | od -An -tx1 | tr -d ' \n')" = "${format#*:}" ] ||
    fail "quorvane-cli.exe --plot wrote no ${format%%:*} file"
done
set +e
(cd "$WINEPREFIX/drive_c/data" && "$wine" "$cli" --controls 20 --covariates 2 --plot plots.svg \
  controls-and-case.txt > /dev/null 2> "$work/cli-svg.log")
status=$?
set -e
[ "$status" = 2 ] && grep -q 'must end in .png or .pdf' "$work/cli-svg.log" ||
  fail "quorvane-cli.exe --plot plots.svg was not refused (exit $status)"
data_windows='C:\data\controls-and-case.txt'
report_windows='C:\data\report.txt'
report="$WINEPREFIX/drive_c/data/report.txt"

echo "==> Windows desktop: starting the installed quorvane.exe"
(cd "$WINEPREFIX/drive_c/data" && exec "$wine" 'C:\Program Files\Quorvane\quorvane.exe') \
  > "$work/quorvane.log" 2>&1 &
pids+=($!)
sheet=$(window 90 '^Quorvane\.exe: Bayesian test') || fail "the worksheet did not appear"
[ -z "$shots" ] || shot "$sheet" "$shots/windows-worksheet.png"

echo "==> Windows desktop: the example through the window"
xdotool windowactivate --sync "$sheet" 2> /dev/null || xdotool windowfocus --sync "$sheet"
sleep 0.5
# The cursor starts in the N field; Tab goes on to the covariates, Enter
# computes.
xdotool type --delay 60 20
xdotool key Tab
xdotool type --delay 60 2
xdotool key Return
open=$(window 30 '^Open$') || fail "no open dialog after Compute"
sleep 1
xdotool windowactivate --sync "$open" 2> /dev/null || true
# The file name field has the focus; whatever it proposes is deleted first.
xdotool key End shift+Home Delete
xdotool type --delay 40 "$data_windows"
xdotool key Return
notice=$(window 30 '^Information$') || fail "no notice about the loaded data file"
xdotool windowactivate --sync "$notice" 2> /dev/null || true
xdotool key Return
viewer=$(window 180 '^Results viewer: ') || fail "the results viewer did not appear"
[ -z "$shots" ] || shot "$viewer" "$shots/windows-results-viewer.png"
xdotool windowactivate --sync "$viewer" 2> /dev/null || true
sleep 0.5
xdotool key ctrl+s
save=$(window 30 '^Save As$') || fail "no save dialog after Ctrl+S"
sleep 1
xdotool windowactivate --sync "$save" 2> /dev/null || true
xdotool key End shift+Home Delete
xdotool type --delay 40 "$report_windows"
xdotool key Return
for _ in $(seq 120); do
  [ -s "$report" ] && ! xdotool search --onlyvisible --name '^Save As$' > /dev/null 2>&1 && break
  sleep 0.25
done
[ -s "$report" ] || fail "Save Output wrote no $report_windows"
sleep 1

# The reference: the Linux program given the same inputs and the same file
# name (a file of that name, backslashes and all, in a scratch folder).
mkdir -p "$work/linux"
cp "$root/examples/controls-and-case.txt" "$work/linux/$data_windows"
(cd "$work/linux" && "$linux_cli" --controls 20 --covariates 2 --output report.txt \
  "$data_windows" > /dev/null 2>&1) || fail "the Linux quorvane-cli failed"
cp "$report" "$work/report-windows.txt"
cmp "$work/report-windows.txt" "$work/linux/report.txt" ||
  fail "the report saved under Windows differs from the Linux one" \
    "($work/report-windows.txt, $work/linux/report.txt)"
echo "==> Windows desktop: the saved report equals the Linux one ($(wc -c < "$report") bytes," \
  "$(wc -l < "$report") CR LF lines)"

echo "==> Windows desktop: Exit (Alt+X) and its question answered"
program_pid=${pids[-1]}
xdotool windowactivate --sync "$viewer" 2> /dev/null || true
xdotool key alt+x
confirm=$(window 30 '^Confirm$') || fail "Exit asked nothing"
xdotool windowactivate --sync "$confirm" 2> /dev/null || true
xdotool key Return
for _ in $(seq 80); do
  kill -0 "$program_pid" 2> /dev/null || break
  sleep 0.25
done
! kill -0 "$program_pid" 2> /dev/null || fail "quorvane.exe did not end after Exit"
wait "$program_pid" || fail "quorvane.exe ended with exit code $?"

echo "==> Windows desktop: uninstalling silently"
"$wine" 'C:\Program Files\Quorvane\uninstall.exe' /S || fail "the uninstaller failed"
for _ in $(seq 60); do
  [ -e "$program_dir" ] || break
  sleep 0.5
done
[ ! -e "$program_dir" ] || fail "the uninstaller left $program_dir"
[ ! -e "$menu_dir" ] || fail "the uninstaller left $menu_dir"
echo "==> Windows desktop: all checks passed"
