#!/usr/bin/env bash
# The Wine tests' fixture: `fixture.sh setup <wine folder>` makes the template prefix (again
# whenever its recipe changed), a fresh shared prefix and its persistent wineserver;
# `fixture.sh cleanup <wine folder>` stops that server and any left by case prefixes, and no other.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/wine-env.sh"
action=$1
root=$2

case $action in
  setup)
    mkdir -p "$root"
    zn_ensure_template "$root/template"
    zn_stop_server "$root/shared"
    zn_copy_prefix "$root/template" "$root/shared"
    zn_start_server "$root/shared"
    ;;
  cleanup)
    zn_stop_server "$root/shared"
    for prefix in "$root"/cases/*/; do
      if [[ -d $prefix ]]; then zn_stop_server "${prefix%/}"; fi
    done
    ;;
  *)
    echo "usage: $0 setup|cleanup <wine folder>" >&2
    exit 2
    ;;
esac
