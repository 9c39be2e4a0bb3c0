#!/usr/bin/env bash
# ctest's emulator for the cross-compiled tests: runs one Windows program under Wine.
#   run.sh <wine folder> <program.exe> [arguments...]
# With ZN_FRESH_PREFIX=<name> the program runs in a fresh copy of the template prefix, with a
# wineserver of its own that is stopped afterwards; the copy is removed when the program passed
# and kept for a look when it failed. Otherwise it runs in the shared prefix that the test run's
# fixture prepared.
# With ZN_STAND_IN_SFC=<dll> as well (a Linux path), the fresh prefix's system32\sfc.dll is that
# file: a system that protects notepad.exe, as Windows does and Wine does not.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/wine-env.sh"
root=$1
shift

if [[ -z ${ZN_FRESH_PREFIX:-} ]]; then
  if [[ -n ${ZN_STAND_IN_SFC:-} ]]; then
    echo "run.sh: ZN_STAND_IN_SFC needs ZN_FRESH_PREFIX (the shared prefix stays as Wine made it)" >&2
    exit 2
  fi
  export WINEPREFIX=$root/shared
  exec wine "$@"
fi

prefix=$root/cases/$ZN_FRESH_PREFIX
zn_copy_prefix "$root/template" "$prefix"
if [[ -n ${ZN_STAND_IN_SFC:-} ]]; then zn_replace_system_dll "$prefix" sfc.dll "$ZN_STAND_IN_SFC"; fi
export WINEPREFIX=$prefix
trap 'zn_stop_server "$prefix"' EXIT
zn_start_server "$prefix"
status=0
wine "$@" || status=$?
zn_stop_server "$prefix"
trap - EXIT
if [[ $status -eq 0 ]]; then rm -rf "$prefix"; fi
exit "$status"
