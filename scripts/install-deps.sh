#!/usr/bin/env bash
# Installs everything the build and the tests need on a fresh Debian 12 machine (run as root).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
packages=(
  build-essential cmake ninja-build pkg-config
  g++ clang libclang-rt-14-dev clang-format
  libgtest-dev googletest libgmock-dev
  libboost-dev libboost-program-options-dev
  mingw-w64 mingw-w64-tools g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine wine64 wine32:i386 libwine-dev
  python3 xvfb cmark-gfm
  curl chromium nodejs
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -ne 0 ]; then
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The browser test's driver, at the version its lock file pins (no browser download: it drives
# Debian's chromium).
here=$(cd "$(dirname "$0")/.." && pwd)
command -v npm >/dev/null || apt-get install -y -q --no-install-recommends npm
if [ ! -d "$here/tests/browser/node_modules/playwright-core" ]; then
  (cd "$here/tests/browser" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund)
fi
