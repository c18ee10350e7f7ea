#!/usr/bin/env bash
# The program on a system with no monitor profile at all: a private prefix of
# its own whose colour directory is empty, on the test bed's X server. The
# dialog must show an empty list and the program end with exit code 0.
# usage: no_profiles_win32.sh <testbed-dir> <private-dir> lumetra.exe lumetra-peek.exe
set -euo pipefail
tools=$(cd "$(dirname "$0")/../../tools" && pwd)
shared_testbed=$1
private=$2
exe=$3
peek=$4
. "$shared_testbed/testbed.env"
export DISPLAY

"$tools/wine-prefix.sh" "$private"
testbed=$(cd "$private" && pwd)
. "$tools/wine-env.sh"
colors=$WINEPREFIX/drive_c/windows/system32/spool/drivers/color
mkdir -p "$colors"
find "$colors" -mindepth 1 -delete

# A persistent server of this prefix, so that captured output does not wait
# for Wine's helper processes.
setsid wineserver -p </dev/null >/dev/null 2>&1 &
trap 'wineserver -k </dev/null >/dev/null 2>&1 || true' EXIT
setsid wine cmd /c exit </dev/null >/dev/null 2>&1 || true

wine "$exe" </dev/null >/dev/null 2>&1 &
program=$!
if ! wine "$peek" wait 30 </dev/null >/dev/null 2>&1; then
  echo "FAIL: no dialog appeared"
  kill "$program" 2>/dev/null || true
  exit 1
fi
lines=$(wine "$peek" lines </dev/null 2>/dev/null | tr -d '\r')
wine "$peek" close </dev/null >/dev/null 2>&1
status=0
wait "$program" || status=$?

failed=0
if [ -n "$lines" ]; then
  echo "FAIL: the list of an empty colour directory holds lines:"
  echo "$lines"
  failed=1
fi
if [ "$status" -ne 0 ]; then
  echo "FAIL: the program ended with exit code $status, not 0"
  failed=1
fi
[ "$failed" -eq 0 ] && echo "an empty colour directory gives an empty list; exit code 0"
exit "$failed"
