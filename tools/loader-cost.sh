#!/usr/bin/env bash
# Measures what lumetra-loader.exe /watch costs under Wine while it watches
# the two displays of the test bed of build/timing, each with a real
# calibration as its profile: its CPU time over a period and its handles, GDI
# and USER objects and memory at the start and at the end, so that growth
# shows. Each figure names its source; what Wine cannot tell about another
# process is said to be not measurable. A developer's measurement, not a test.
# usage: loader-cost.sh [seconds] [every]   (default 300; every: also a sample
#        row each so many seconds)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tools=$root/tools
build=${LUMETRA_BUILD_DIR:-$root/build}
seconds=${1:-300}
every=${2:-0}
helpers=process-cost
trap 'run "$loader" /stop >/dev/null 2>&1 || true; "$tools/wine-testbed.sh" stop "$build/timing" >/dev/null' EXIT
. "$tools/loader-testbed.sh"

# One watcher per session: a leftover of an interrupted run would be measured instead.
run "$loader" /stop >/dev/null || true
setsid "$tools/wine-run.sh" "$testbed" "$loader" /watch </dev/null >"$testbed/watch.log" 2>/dev/null &

# The Linux process that runs the watcher of this prefix: Wine names it after
# the executable (cut to 15 characters), and other trees' test beds may run
# watchers of their own.
in_prefix() { tr '\0' '\n' <"/proc/$1/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; }
linux_watcher() {
  local p
  for p in $(pgrep -f 'lumetra-loader\.exe /watch' || true); do
    [ "$(cat "/proc/$p/comm" 2>/dev/null)" = "lumetra-loader." ] && in_prefix "$p" && echo "$p"
  done
  return 0
}
# It is measured once its first load is over and reported, one line a display.
watcher=
for _ in $(seq 100); do
  watcher=$(linux_watcher)
  [ -n "$watcher" ] && [ "$(grep -c 'DISPLAY' "$testbed/watch.log" || true)" -ge 2 ] && break
  sleep 0.2
done
if [ -z "$watcher" ] || [ "$(printf '%s\n' "$watcher" | wc -l)" -ne 1 ]; then
  echo "loader-cost: the watcher did not start (Linux processes: ${watcher:-none})" >&2
  cat "$testbed/watch.log" >&2
  exit 1
fi

# Wine's server and the X server do part of the work a Windows kernel would
# charge to the process; their CPU over the same period is shown beside it.
cpu_ticks() { awk '{ sub(/.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"; }
wineserver=
for p in $(pgrep '^wineserver' || true); do in_prefix "$p" && wineserver=$p; done
xorg=$(cat "$testbed/xorg/xorg.pid")
if [ -z "$wineserver" ]; then
  echo "loader-cost: no wineserver of $WINEPREFIX runs" >&2
  exit 1
fi
wineserver_before=$(cpu_ticks "$wineserver")
xorg_before=$(cpu_ticks "$xorg")

echo "lumetra-loader.exe /watch under Wine, two displays, $seconds s:"
tr -d '\r' <"$testbed/watch.log" | sed 's/^/  watcher:  /'
options=(--linux-pid "$watcher" --find lumetra-loader.exe)
[ "$every" != 0 ] && options=(--every "$every" "${options[@]}")
"$tools/wine-run.sh" "$testbed" "$testbed/process-cost.exe" "$seconds" "${options[@]}" </dev/null | tr -d '\r'

# USER_HZ is 100 on x86 Linux.
awk -v ws=$(($(cpu_ticks "$wineserver") - wineserver_before)) -v x=$(($(cpu_ticks "$xorg") - xorg_before)) \
  -v s="$seconds" -v w="$wineserver" -v xp="$xorg" 'BEGIN {
    printf "  %-10s wineserver %.2f s, Xorg %.2f s over the same %d s  [/proc/%s/stat, /proc/%s/stat: the work\n", "beside it", ws / 100, x / 100, s, w, xp
    printf "  %-10s Windows would charge to the process, shared with the test bed'"'"'s other processes]\n", "" }'
