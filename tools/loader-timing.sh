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
helpers=process-timing
trap '"$tools/wine-testbed.sh" stop "$build/timing" >/dev/null' EXIT
. "$tools/loader-testbed.sh"

echo "lumetra-loader.exe under Wine, two displays, a warm prefix:"
run "$loader"
for arguments in "" "/verify" "/?"; do
  printf '  %-10s ' "${arguments:-(load)}"
  run "$testbed/process-timing.exe" "$runs" "$loader" $arguments
done
