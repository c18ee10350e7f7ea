# Sourced by the Wine scripts: the environment of the project's private Wine
# prefix. Expects $testbed (a folder inside the build tree).
export WINEPREFIX="$testbed/prefix"
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installers: the prefix must build without the network.
export WINEDLLOVERRIDES="mscoree,mshtml="
