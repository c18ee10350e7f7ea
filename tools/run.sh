#!/usr/bin/env bash
# Runs the program. Until the program exists, builds everything and says so.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build
"$root/tools/install-packages.sh"
"$root/tools/build-win32-deps.sh" "$build"
cmake -S "$root" -B "$build/win32" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw32.cmake" \
  -DLUMETRA_DEPS_PREFIX="$build/deps/prefix" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build/win32" -j "$(nproc)"
if [ ! -f "$build/win32/app/lumetra.exe" ]; then
  echo "lumetra.exe does not exist yet: the libraries and tests are built in $build/win32."
  exit 0
fi
