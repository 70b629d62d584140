#!/usr/bin/env bash
# Cross-compiles the Windows program with mingw-w64 into one static
# build-win32/deskpet.exe (art inside), installing what is missing first.
# usage: scripts/build-win32.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${1:-$root/build-win32}"
"$root/scripts/deps-win32.sh"
cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
cmake --build "$build"
echo "$build/deskpet.exe: $(stat -c %s "$build/deskpet.exe") bytes"
