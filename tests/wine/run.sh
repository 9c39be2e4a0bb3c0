#!/usr/bin/env bash
# ctest's emulator for the cross-compiled tests: runs one Windows program under Wine.
#   run.sh <wine folder> <program.exe> [arguments...]
# With ZN_FRESH_PREFIX=<name> the program runs in a fresh copy of the template prefix, with a
# wineserver of its own that is stopped afterwards; the copy is removed when the program passed
# and kept for a look when it failed. Otherwise it runs in the shared prefix that the test run's
# fixture prepared.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/wine-env.sh"
root=$1
shift

if [[ -z ${ZN_FRESH_PREFIX:-} ]]; then
  export WINEPREFIX=$root/shared
  exec wine "$@"
fi

prefix=$root/cases/$ZN_FRESH_PREFIX
zn_copy_prefix "$root/template" "$prefix"
export WINEPREFIX=$prefix
trap 'zn_stop_server "$prefix"' EXIT
zn_start_server "$prefix"
status=0
wine "$@" || status=$?
zn_stop_server "$prefix"
trap - EXIT
if [[ $status -eq 0 ]]; then rm -rf "$prefix"; fi
exit "$status"
