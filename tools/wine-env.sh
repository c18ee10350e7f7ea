# Sourced by the Wine scripts: the environment of the project's private Wine
# prefix. Expects $testbed (a folder inside the build tree).
export WINEPREFIX="$testbed/prefix"
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installers: the prefix must build without the network. No
# menu entries in the host user's home for the shortcuts an installer makes.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
