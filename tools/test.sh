#!/usr/bin/env bash
# Every test of the project, on a Debian 12 machine (installs what is missing first):
#   1. native unit tests of the portable logic (g++, AddressSanitizer + UBSan);
#   2. the Windows build: tests of the Win32 side in process under Wine, and end-to-end tests
#      that drive the built program in fresh Wine prefixes;
#   3. the fuzz targets (clang, libFuzzer), each for a bounded time.
# Warnings are errors. Everything is built and run inside build/.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
tools/deps.sh

jobs=$(nproc)
step() { printf '\n== %s ==\n' "$*"; }

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
