#!/usr/bin/env bash
# A private headless X server with two monitors (1920x1080 primary, 1024x768
# to its right) on the dummy driver, which keeps gamma ramps (XF86VidMode) and
# shows Wine two monitors.
# usage: xorg-headless.sh start <dir>   prints the display (":N") it started
#        xorg-headless.sh stop <dir>
set -euo pipefail
action=$1
dir=$(mkdir -p "$2" && cd "$2" && pwd)

case "$action" in
start)
  if [ -f "$dir/xorg.display" ] && [ -f "$dir/xorg.pid" ] && kill -0 "$(cat "$dir/xorg.pid")" 2>/dev/null; then
    cat "$dir/xorg.display"
    exit 0
  fi
  cat >"$dir/xorg.conf" <<'CONF'
Section "ServerFlags"
  Option "AutoAddDevices" "false"
  Option "AutoAddGPU" "false"
  Option "AutoBindGPU" "false"
  Option "DontVTSwitch" "true"
EndSection
Section "Device"
  Identifier "card0"
  Driver "dummy"
  VideoRam 256000
  Option "Monitor-DUMMY0" "mon0"
  Option "Monitor-DUMMY1" "mon1"
EndSection
Section "Monitor"
  Identifier "mon0"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
  Modeline "1920x1080" 148.50 1920 2008 2052 2200 1080 1084 1089 1125 +hsync +vsync
  Option "PreferredMode" "1920x1080"
  Option "Primary" "true"
EndSection
Section "Monitor"
  Identifier "mon1"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
  Modeline "1024x768" 65.00 1024 1048 1184 1344 768 771 777 806 -hsync -vsync
  Option "PreferredMode" "1024x768"
  Option "Enable" "true"
  Option "RightOf" "mon0"
EndSection
Section "Screen"
  Identifier "screen0"
  Device "card0"
  Monitor "mon0"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Virtual 2944 1080
  EndSubSection
EndSection
CONF
  # Test beds of several build trees may start at once: pick a display
  # number under one lock, so that no two of them take the same server.
  exec 9>/tmp/.lumetra-xorg.lock
  flock 9
  for n in $(seq 40 99); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    setsid Xorg ":$n" -config "$dir/xorg.conf" -noreset -nolisten tcp \
      -logfile "$dir/xorg.log" </dev/null >/dev/null 2>&1 9>&- &
    echo $! >"$dir/xorg.pid"
    for _ in $(seq 1 100); do
      if xdpyinfo -display ":$n" >/dev/null 2>&1; then
        echo ":$n" >"$dir/xorg.display"
        echo ":$n"
        exit 0
      fi
      kill -0 "$(cat "$dir/xorg.pid")" 2>/dev/null || break
      sleep 0.1
    done
    kill "$(cat "$dir/xorg.pid")" 2>/dev/null || true
  done
  echo "no headless X server could be started (see $dir/xorg.log)" >&2
  exit 1
  ;;
stop)
  if [ -f "$dir/xorg.pid" ]; then
    pid=$(cat "$dir/xorg.pid")
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
  fi
  rm -f "$dir/xorg.pid" "$dir/xorg.display"
  ;;
*)
  echo "usage: $0 start|stop <dir>" >&2
  exit 2
  ;;
esac
