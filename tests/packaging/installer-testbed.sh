#!/usr/bin/env bash
# The installer's Wine test bed: the project's test bed (a headless X server
# of its own, a persistent wineserver) on a new prefix at every start, so that
# each run installs onto a system that never had the program.
# usage: installer-testbed.sh start|stop <testbed-dir>
set -euo pipefail
tools=$(cd "$(dirname "$0")/../../tools" && pwd)
action=$1
testbed=$2
if [ "$action" = start ]; then
  # A test bed left running by an interrupted run is stopped before its
  # prefix goes.
  "$tools/wine-testbed.sh" stop "$testbed" >/dev/null
  rm -rf "$testbed/prefix"
fi
exec "$tools/wine-testbed.sh" "$action" "$testbed"
