#!/usr/bin/env bash
# Times lumetra-loader.exe under Wine on the two-monitor test bed of
# build/timing, from its process's creation to its exit (which comes right
# after the last display is verified): a load of a real calibration on both
# displays, a verify, and the usage text as the cost of the process alone.
# A developer's measurement, not a test.
# usage: loader-timing.sh [runs]   (default 30)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tools=$root/tools
build=${LUMETRA_BUILD_DIR:-$root/build}
runs=${1:-30}
"$tools/install-packages.sh"
"$tools/build-win32-deps.sh" "$build"
cmake -S "$root" -B "$build/win32" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw32.cmake" \
  -DLUMETRA_DEPS_PREFIX="$build/deps/prefix" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build/win32" -j "$(nproc)" --target lumetra-loader >/dev/null

testbed=$build/timing
mkdir -p "$testbed"
for helper in process-timing lumetra-peek; do
  if [ ! -f "$testbed/$helper.exe" ] || [ "$tools/$helper.cpp" -nt "$testbed/$helper.exe" ]; then
    i686-w64-mingw32-g++-posix -std=c++17 -O2 -static -o "$testbed/$helper.exe" "$tools/$helper.cpp"
  fi
done
"$tools/wine-testbed.sh" start "$testbed" >/dev/null
trap '"$tools/wine-testbed.sh" stop "$testbed" >/dev/null' EXIT
run() { "$tools/wine-run.sh" "$testbed" "$@" </dev/null 2>/dev/null | tr -d '\r'; }

# A calibration as the system's profile of both displays.
. "$tools/wine-env.sh"
colors=$WINEPREFIX/drive_c/windows/system32/spool/drivers/color
cp -f /usr/share/color/icc/colord/Gamma5000K.icc "$colors/Lumetra-Timing.icm"
run "$testbed/lumetra-peek.exe" associate Lumetra-Timing.icm

loader="Z:$(printf '%s' "$build/win32/loader/lumetra-loader.exe" | tr / '\\')"
echo "lumetra-loader.exe under Wine, two displays, a warm prefix:"
run "$loader"
for arguments in "" "/verify" "/?"; do
  printf '  %-10s ' "${arguments:-(load)}"
  run "$testbed/process-timing.exe" "$runs" "$loader" $arguments
done
