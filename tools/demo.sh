#!/usr/bin/env bash
# The main job, shown in a sandboxed Wine prefix under build/demo: ZanvekNotepad is installed
# from a Downloads folder, an editor is registered by drag and drop, and a text file opened
# "with Notepad" opens in that editor. Installs what it needs first (Debian 12, as root).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
tools/deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target zn_demo
. tests/wine/wine-env.sh

root=$PWD/build/demo
prefix=$root/prefix
[[ -f $root/template/.complete ]] || { echo "making a Wine prefix (once)"; zn_make_template "$root/template"; }
zn_copy_prefix "$root/template" "$prefix"
trap 'zn_stop_server "$prefix"' EXIT
zn_start_server "$prefix"

windows_path() { echo "Z:${1//\//\\}"; }
echo
ZN_PROGRAM=$(windows_path "$PWD/build/windows/src/ZanvekNotepad.exe") \
ZN_STAND_IN_EDITOR=$(windows_path "$PWD/build/windows/tests/e2e/stand_in_editor.exe") \
WINEPREFIX=$prefix wine build/windows/demo/zn_demo.exe </dev/null
