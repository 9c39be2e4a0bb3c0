#!/usr/bin/env bash
# Renders the registration window under Xvfb, with the Japanese font installed:
#   docs/registration-window.png          the installed program's window as it opens (the
#                                         picture the README shows), at 96 dpi;
#   docs/registration-window-stages/      every stage of it at 96, 120 and 144 dpi
#                                         (<stage>-<dpi>.png), shown by a small test program
#                                         that opens the same window in that stage;
#   docs/registration-window-stages.png   all of them on one sheet, a row per stage.
# Uses a throwaway prefix under build/screenshot and an X server of its own on a free display.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
tools/deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target ZanvekNotepad zn_window_stage >/dev/null
. tests/wine/wine-env.sh

root=$PWD/build/screenshot
prefix=$root/prefix
docs=$PWD/docs
stages_dir=$docs/registration-window-stages
stages=(waiting asking registered-copy registered-redirect store-failed not-full-path)
dpis=(96 120 144)
caption='ZanvekNotePad V1.10'
mkdir -p "$root" "$stages_dir"
zn_ensure_template "$root/template"
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
cp build/windows/tests/wine/zn_window_stage.exe "$prefix/drive_c/zn_window_stage.exe"

# Waits for the window, lets it paint, saves it as $1.
capture() {
  local out=$1 window=
  for _ in $(seq 100); do
    window=$(xwininfo -root -tree 2>/dev/null | awk -v c="\"$caption\":" '$2 " " $3 == c {print $1; exit}')
    [[ -n $window ]] && break
    sleep 0.2
  done
  [[ -n $window ]] || { echo "the window did not open" >&2; xwininfo -root -tree >&2; return 1; }
  sleep 1
  import -window "$window" "$out"
  echo "saved $out"
}

# Each process reads the DPI from the user's settings when it starts.
set_dpi() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f \
    </dev/null >/dev/null 2>&1
}

# The installed program without a command line opens its registration window; it stays until
# the server is stopped.
set_dpi 96
wine 'C:\windows\notepad.exe' </dev/null >/dev/null 2>&1 &
capture "$docs/registration-window.png"
zn_stop_server "$prefix"

sheet=()
for stage in "${stages[@]}"; do
  for dpi in "${dpis[@]}"; do
    set_dpi "$dpi"
    # The window closes itself after a few seconds.
    wine 'C:\zn_window_stage.exe' "$stage" 4 </dev/null >/dev/null 2>&1 &
    stage_pid=$!
    capture "$stages_dir/$stage-$dpi.png"
    wait "$stage_pid"
    sheet+=("$stages_dir/$stage-$dpi.png")
  done
done
montage -label '%t' -font DejaVu-Sans -pointsize 11 -background white -tile 3x -geometry +6+6 \
  "${sheet[@]}" "$docs/registration-window-stages.png"
echo "saved $docs/registration-window-stages.png"
