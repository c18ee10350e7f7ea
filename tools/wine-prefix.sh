#!/usr/bin/env bash
# Creates the private 32-bit Wine prefix of a test bed folder, once.
# usage: wine-prefix.sh <testbed-dir>
set -euo pipefail
testbed=$(mkdir -p "$1" && cd "$1" && pwd)
. "$(dirname "$0")/wine-env.sh"
stamp=$WINEPREFIX/.lumetra-ready
[ -f "$stamp" ] && exit 0

echo "Creating the Wine prefix $WINEPREFIX"
rm -rf "$WINEPREFIX"
wineboot -i </dev/null >"$testbed/wineboot.log" 2>&1
# Without a window manager, Wine waits about 2 s whenever a top-level window
# closes unless its X11 driver leaves windows unmanaged.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >>"$testbed/wineboot.log" 2>&1
wineserver -w
touch "$stamp"
