#!/usr/bin/env bash
# Fails when clang-format, with the checked-in .clang-format, would change any tracked C or C++
# file. `tools/check-format.sh --fix` formats them instead.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

mapfile -t files < <(git ls-files -- '*.c' '*.cpp' '*.h')
if [[ ${1:-} == --fix ]]; then
  clang-format -i "${files[@]}"
  exit 0
fi
if ! clang-format --dry-run -Werror "${files[@]}"; then
  echo "format: run tools/check-format.sh --fix" >&2
  exit 1
fi
echo "format: ${#files[@]} files as .clang-format says"
