#!/usr/bin/env bash
# Runs the program under Wine in the project's own prefix (build/run/prefix),
# whose colour directory holds the Debian packages' monitor profiles and two
# calibrations made by the build, each with a video card gamma table.
# With a usable desktop ($DISPLAY) the dialog opens there. Without one, a
# private headless two-monitor X server is started: the listed lines are
# printed, a screenshot is saved, the dialog is closed again, and the
# calibration loader shows its report.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tools=$root/tools
build=${LUMETRA_BUILD_DIR:-$root/build}
"$tools/install-packages.sh"
"$tools/build-win32-deps.sh" "$build"
cmake -S "$root" -B "$build/win32" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw32.cmake" \
  -DLUMETRA_DEPS_PREFIX="$build/deps/prefix" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build/win32" -j "$(nproc)" --target lumetra lumetra-loader

testbed=$build/run
mkdir -p "$testbed"
. "$tools/wine-env.sh"

# The helpers: the profile maker (host) and the dialog reader (Windows).
if [ ! -x "$testbed/make-profiles" ] || [ "$tools/make-profiles.cpp" -nt "$testbed/make-profiles" ] \
   || [ "$root/tests/testing/icc_builder.cpp" -nt "$testbed/make-profiles" ]; then
  g++ -std=c++17 -O1 -I"$root" -o "$testbed/make-profiles" \
    "$tools/make-profiles.cpp" "$root/tests/testing/icc_builder.cpp"
fi
if [ ! -f "$testbed/lumetra-peek.exe" ] || [ "$tools/lumetra-peek.cpp" -nt "$testbed/lumetra-peek.exe" ]; then
  i686-w64-mingw32-g++-posix -std=c++17 -O2 -static -o "$testbed/lumetra-peek.exe" "$tools/lumetra-peek.cpp"
fi

"$tools/wine-prefix.sh" "$testbed"

# Monitor profiles as a calibrated system has them: .icm files in the colour
# directory. The system lists the monitor-class ones only.
colors=$WINEPREFIX/drive_c/windows/system32/spool/drivers/color
mkdir -p "$colors"
for icc in /usr/share/color/icc/colord/*.icc /usr/share/color/icc/*.icc; do
  [ -f "$icc" ] || continue
  name=$(basename "$icc" .icc)
  cp -f "$icc" "$colors/$name.icm"
done
"$testbed/make-profiles" "$colors"

# The program with its language file beside it.
program=$testbed/program
mkdir -p "$program"
cp -f "$build/win32/app/lumetra.exe" "$build/win32/loader/lumetra-loader.exe" "$program/"
cp -f "$root/data/EnglishLanguage" "$program/"
# Wine sees the Unix root as drive Z:.
exe="Z:$(printf '%s' "$program/lumetra.exe" | tr / '\\')"

peek() { wine "$testbed/lumetra-peek.exe" "$@" </dev/null 2>>"$testbed/lumetra.log"; }
# Once per prefix, the 16-bit calibration becomes the first monitor's profile,
# as a calibration would leave it; later choices in the dialog then stay.
associate_once() {
  if [ ! -f "$WINEPREFIX/.lumetra-associated" ]; then
    peek associate Lumetra-Calibrated-16bit.icm && touch "$WINEPREFIX/.lumetra-associated"
  fi
}
: >"$testbed/lumetra.log"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  associate_once
  cd "$program"
  exec wine "$exe"
fi

# Headless: a private X server, the program on it, and a look from outside.
# A Wine session left from setting up the prefix has no display: end it, so
# that the session below starts its desktop on the private server.
wineserver -k </dev/null >/dev/null 2>&1 || true
display=$("$tools/xorg-headless.sh" start "$testbed/xorg")
export DISPLAY=$display
cleanup() {
  wineserver -k </dev/null >/dev/null 2>&1 || true
  "$tools/xorg-headless.sh" stop "$testbed/xorg"
}
trap cleanup EXIT
setsid wineserver -p </dev/null >/dev/null 2>&1 &
# The first program of a session starts Wine's own services; a fresh prefix
# takes a while there, so it is done before the clock for the dialog starts.
setsid wine cmd /c exit </dev/null >/dev/null 2>&1 || true
associate_once

cd "$program"
wine "$exe" </dev/null >>"$testbed/lumetra.log" 2>&1 &
lumetra=$!
if ! peek wait 60 >/dev/null; then
  echo "The dialog did not appear (see $testbed/lumetra.log)" >&2
  kill "$lumetra" 2>/dev/null || true
  exit 1
fi
echo "Lumetra lists these monitor profiles (> marks the selected line):"
peek lines | tr -d '\r'
sleep 0.5
screenshot=$testbed/lumetra-screen.png
dialog_shot=$testbed/lumetra-dialog.png
import -display "$DISPLAY" -window root "$screenshot"
rect=$(peek rect | tr -d '\r')
convert "$screenshot" -crop "$rect" +repage "$dialog_shot"
echo "Screenshot of the screen: $screenshot"
echo "Screenshot of the dialog: $dialog_shot"
peek close >/dev/null
status=0
wait "$lumetra" || status=$?
echo "Lumetra closed (exit code $status)"
echo "The calibration loader loads each display's calibration and reads it back:"
loader="Z:$(printf '%s' "$program/lumetra-loader.exe" | tr / '\\')"
wine "$loader" </dev/null 2>>"$testbed/lumetra.log" | tr -d '\r' || true
exit 0
