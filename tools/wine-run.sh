#!/usr/bin/env bash
# Runs a Windows program in the test bed's prefix, on its headless display,
# passing the program's exit code through.
# usage: wine-run.sh <testbed-dir> program.exe [args...]
set -euo pipefail
testbed=$(cd "$1" && pwd)
shift
. "$(dirname "$0")/wine-env.sh"
if [ ! -f "$testbed/testbed.env" ]; then
  echo "wine-run: the test bed in $testbed is not started (tools/wine-testbed.sh start)" >&2
  exit 1
fi
. "$testbed/testbed.env"
export DISPLAY
exec wine "$@"
