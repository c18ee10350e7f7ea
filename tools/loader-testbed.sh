# Sourced by the loader's measuring scripts: builds lumetra-loader.exe
# (Release, in $build/win32) and the helper programs named in $helpers (from
# tools/<name>.cpp, into the test bed), starts the two-monitor test bed of
# $build/timing with a real calibration as both displays' profile, and
# defines `run` (a Windows program in it, its output without CRs) and
# $loader (the loader's Windows path). The caller sets $root, $tools, $build
# and $helpers, and sets its own EXIT trap, which must stop the test bed.
"$tools/install-packages.sh"
"$tools/build-win32-deps.sh" "$build"
cmake -S "$root" -B "$build/win32" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw32.cmake" \
  -DLUMETRA_DEPS_PREFIX="$build/deps/prefix" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build/win32" -j "$(nproc)" --target lumetra-loader >/dev/null

testbed=$build/timing
mkdir -p "$testbed"
for helper in $helpers lumetra-peek; do
  if [ ! -f "$testbed/$helper.exe" ] || [ "$tools/$helper.cpp" -nt "$testbed/$helper.exe" ]; then
    i686-w64-mingw32-g++-posix -std=c++17 -O2 -static -o "$testbed/$helper.exe" "$tools/$helper.cpp"
  fi
done
loader="Z:$(printf '%s' "$build/win32/loader/lumetra-loader.exe" | tr / '\\')"
run() { "$tools/wine-run.sh" "$testbed" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
"$tools/wine-testbed.sh" start "$testbed" >/dev/null

# A calibration as the system's profile of both displays.
. "$tools/wine-env.sh"
colors=$WINEPREFIX/drive_c/windows/system32/spool/drivers/color
cp -f /usr/share/color/icc/colord/Gamma5000K.icc "$colors/Lumetra-Timing.icm"
run "$testbed/lumetra-peek.exe" associate Lumetra-Timing.icm
