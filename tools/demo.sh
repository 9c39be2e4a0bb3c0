#!/usr/bin/env bash
# The main job, shown in sandboxed Wine prefixes under build/demo, both ways of installing:
#   1. a system that lets notepad.exe be replaced (Wine as it is): ZanvekNotepad is installed
#      from a Downloads folder over notepad.exe, an editor is registered by drag and drop, and a
#      text file opened "with Notepad" opens in that editor;
#   2. a system that protects notepad.exe, as Windows does (a second prefix whose sfc.dll is the
#      tests' stand-in): set-up redirects Notepad's starts to a copy of the program instead.
#      Wine ignores that redirection, so the demo plays Windows' part and starts the copy as
#      Windows would.
# Installs what it needs first (Debian 12, as root).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
tools/deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target zn_demo
. tests/wine/wine-env.sh

root=$PWD/build/demo
ordinary=$root/prefix
protected=$root/protected
zn_ensure_template "$root/template"
trap 'zn_stop_server "$ordinary"; zn_stop_server "$protected"' EXIT

windows_path() { echo "Z:${1//\//\\}"; }
export ZN_PROGRAM ZN_STAND_IN_EDITOR
ZN_PROGRAM=$(windows_path "$PWD/build/windows/src/ZanvekNotepad.exe")
ZN_STAND_IN_EDITOR=$(windows_path "$PWD/build/windows/tests/e2e/stand_in_editor.exe")

echo
echo "== Where notepad.exe may be replaced: the copy over notepad.exe =="
zn_copy_prefix "$root/template" "$ordinary"
zn_start_server "$ordinary"
WINEPREFIX=$ordinary wine build/windows/demo/zn_demo.exe copy </dev/null
zn_stop_server "$ordinary"

echo
echo "== Where Windows protects notepad.exe: the redirection =="
zn_copy_prefix "$root/template" "$protected"
zn_replace_system_dll "$protected" sfc.dll build/windows/tests/e2e/stand_in_sfc.dll
zn_start_server "$protected"
WINEPREFIX=$protected wine build/windows/demo/zn_demo.exe redirect </dev/null
