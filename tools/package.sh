#!/usr/bin/env bash
# Builds the Windows release into build/dist/: lumetra-<version>-setup.exe (the
# installer) and lumetra-<version>-win32.zip (the same files, for people who do
# not install), with the version of the CMake project. Installs the packages
# it needs and builds what is missing, like the other commands.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${LUMETRA_BUILD_DIR:-$root/build}
"$root/tools/install-packages.sh"
"$root/tools/build-win32-deps.sh" "$build"
cmake -S "$root" -B "$build/win32" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw32.cmake" \
  -DLUMETRA_DEPS_PREFIX="$build/deps/prefix" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build/win32" -j "$(nproc)" --target packages

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/win32/CMakeCache.txt")
mkdir -p "$build/dist"
for name in "lumetra-$version-setup.exe" "lumetra-$version-win32.zip"; do
  cp -f "$build/win32/dist/$name" "$build/dist/$name"
done
echo "The Windows release $version:"
ls -l "$build/dist/lumetra-$version-setup.exe" "$build/dist/lumetra-$version-win32.zip"
