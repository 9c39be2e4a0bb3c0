#!/usr/bin/env bash
# Renders the registration window under Xvfb, with the Japanese font installed, and saves
# docs/registration-window.png (the picture the README shows). Uses a throwaway prefix under
# build/screenshot and an X server of its own on a free display number.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
tools/deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target ZanvekNotepad >/dev/null
. tests/wine/wine-env.sh

root=$PWD/build/screenshot
prefix=$root/prefix
out=$PWD/docs/registration-window.png
mkdir -p "$root" docs
[[ -f $root/template/.complete ]] || zn_make_template "$root/template"
zn_copy_prefix "$root/template" "$prefix"

display=77
while [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
cleanup() {
  zn_stop_server "$prefix"
  kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY=:$display WINEPREFIX=$prefix
sleep 1

# A real X driver this time, and no window manager: unmanaged windows close without delay.
wine reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f </dev/null >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
# The desktop process keeps the driver it started with: start afresh with the X one.
zn_stop_server "$prefix"
cp build/windows/src/ZanvekNotepad.exe "$prefix/drive_c/windows/notepad.exe"

# The installed program without a command line opens its registration window.
wine 'C:\windows\notepad.exe' </dev/null >/dev/null 2>&1 &
caption='ZanvekNotePad V1.10'
window=
for _ in $(seq 100); do
  window=$(xwininfo -root -tree 2>/dev/null | awk -v c="\"$caption\":" '$2 " " $3 == c {print $1; exit}')
  [[ -n $window ]] && break
  sleep 0.3
done
[[ -n $window ]] || { echo "the window did not open" >&2; xwininfo -root -tree >&2; exit 1; }
sleep 1  # let it paint
import -window "$window" "$out"
echo "saved $out"
