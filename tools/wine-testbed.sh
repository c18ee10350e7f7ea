#!/usr/bin/env bash
# The Wine test bed: the private prefix, a headless two-monitor X server and a
# persistent wineserver (without it every Wine start costs about half a second,
# and a caller reading Wine's output through a pipe waits 2.5 s more).
# usage: wine-testbed.sh start|stop <testbed-dir>
set -euo pipefail
tools=$(cd "$(dirname "$0")" && pwd)
action=$1
testbed=$(mkdir -p "$2" && cd "$2" && pwd)
. "$tools/wine-env.sh"

case "$action" in
start)
  "$tools/wine-prefix.sh" "$testbed"
  display=$("$tools/xorg-headless.sh" start "$testbed/xorg")
  echo "DISPLAY=$display" >"$testbed/testbed.env"
  setsid wineserver -p </dev/null >/dev/null 2>&1 &
  # The first program of a session starts Wine's service processes, which
  # inherit its output: start them here, detached, so that no test's output
  # pipe stays open after the test has ended.
  DISPLAY=$display setsid wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  echo "Wine test bed ready: prefix $WINEPREFIX, display $display"
  ;;
stop)
  wineserver -k </dev/null >/dev/null 2>&1 || true
  "$tools/xorg-headless.sh" stop "$testbed/xorg"
  rm -f "$testbed/testbed.env"
  echo "Wine test bed stopped"
  ;;
*)
  echo "usage: $0 start|stop <testbed-dir>" >&2
  exit 2
  ;;
esac
