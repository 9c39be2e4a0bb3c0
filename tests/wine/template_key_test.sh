#!/usr/bin/env bash
# The template prefix is made again exactly when what it is made from changes: its recipe, the
# settings the recipe runs with, or a marker left by a template of another recipe.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/wine-env.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
template=$work/template
failures=0

# A recipe that only leaves a trace, so that no Wine runs here.
zn_make_template() {
  mkdir -p "$1" && touch "$1/made"
  zn_template_key >"$1/.complete"
}

# expect <made|kept> <why>: runs zn_ensure_template and checks whether it made the template.
expect() {
  rm -f "$template/made"
  zn_ensure_template "$template" >/dev/null
  local got=kept
  [[ -f $template/made ]] && got=made
  if [[ $got != "$1" ]]; then
    echo "FAILED: $2: the template was $got" >&2
    failures=$((failures + 1))
  fi
}

expect made "no template yet"
expect kept "made from the same recipe"
: >"$template/.complete"
expect made "an empty marker (a template of unknown recipe)"
expect kept "made again from the same recipe"

zn_make_template() {
  mkdir -p "$1" && touch "$1/made" "$1/another-step"
  zn_template_key >"$1/.complete"
}
expect made "the recipe changed"
expect kept "made from the changed recipe"

LANG=C.UTF-8
expect made "the locale the recipe runs with changed"
WINEDLLOVERRIDES="mscoree="
expect made "the DLL overrides changed"

((failures == 0)) && echo "template key: 8 cases passed"
exit "$failures"
