#!/usr/bin/env bash
# Runs every test, host and Wine, after installing and building whatever is
# missing. Exits non-zero on any failure; ends with ctest's summary.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build
set -e
"$root/tools/install-packages.sh"
"$root/tools/build-win32-deps.sh" "$build"
cmake -S "$root" -B "$build/host" -G Ninja -DLUMETRA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build/host" -j "$(nproc)"
cmake -S "$root" -B "$build/win32" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw32.cmake" \
  -DLUMETRA_DEPS_PREFIX="$build/deps/prefix" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build/win32" -j "$(nproc)"
set +e
# One summary over both builds: host tests in parallel, Wine tests one at a time.
printf 'subdirs("host" "win32")\n' >"$build/CTestTestfile.cmake"
export ASAN_OPTIONS=detect_leaks=1
ctest --test-dir "$build" -j "$(nproc)" --output-on-failure
