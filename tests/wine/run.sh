#!/usr/bin/env bash
# ctest's emulator for the cross-compiled tests: runs one Windows program under Wine.
#   run.sh <wine folder> <program.exe> [arguments...]
# With ZN_FRESH_PREFIX=<name> the program runs in a fresh copy of the template prefix, with a
# wineserver of its own that is stopped afterwards; the copy is removed when the program passed
# and kept for a look when it failed. Otherwise it runs in the shared prefix that the test run's
# fixture prepared.
# With ZN_STAND_IN_SFC=<dll> as well (a Linux path), the fresh prefix's system32\sfc.dll is that
# file: a system that protects notepad.exe, as Windows does and Wine does not.
# With ZN_PREFIX_VARIANT=renamed-windows-folder as well, the fresh prefix's Windows folder is named
# "Windows" on disk, as on Windows, while Wine still reports C:\windows; a link keeps the old name.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/wine-env.sh"
root=$1
shift

if [[ -z ${ZN_FRESH_PREFIX:-} ]]; then
  if [[ -n ${ZN_STAND_IN_SFC:-}${ZN_PREFIX_VARIANT:-} ]]; then
    echo "run.sh: ZN_STAND_IN_SFC and ZN_PREFIX_VARIANT need ZN_FRESH_PREFIX (the shared prefix stays as Wine made it)" >&2
    exit 2
  fi
  export WINEPREFIX=$root/shared
  exec wine "$@"
fi

prefix=$root/cases/$ZN_FRESH_PREFIX
zn_copy_prefix "$root/template" "$prefix"
if [[ -n ${ZN_STAND_IN_SFC:-} ]]; then zn_replace_system_dll "$prefix" sfc.dll "$ZN_STAND_IN_SFC"; fi
case ${ZN_PREFIX_VARIANT:-} in
  "") ;;
  renamed-windows-folder)
    mv "$prefix/drive_c/windows" "$prefix/drive_c/Windows"
    ln -s Windows "$prefix/drive_c/windows"
    ;;
  *)
    echo "run.sh: unknown ZN_PREFIX_VARIANT $ZN_PREFIX_VARIANT" >&2
    exit 2
    ;;
esac
export WINEPREFIX=$prefix
trap 'zn_stop_server "$prefix"' EXIT
zn_start_server "$prefix"
status=0
wine "$@" || status=$?
zn_stop_server "$prefix"
trap - EXIT
if [[ $status -eq 0 ]]; then rm -rf "$prefix"; fi
exit "$status"
