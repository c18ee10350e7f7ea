#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need: the cross compiler,
# Wine with its 32-bit X libraries, a headless X server with the dummy driver,
# host libraries, the real files the tests read, and the tools that build the
# Windows installer and archive. Idempotent: does nothing when everything is
# present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config dpkg-dev nasm
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  libz-mingw-w64-dev googletest libgtest-dev libgmock-dev libbenchmark-dev
  libjpeg62-turbo-dev libpng-dev libtiff-dev liblcms2-dev libjpeg-turbo-progs
  clang libclang-rt-14-dev
  wine wine32:i386 wine64
  libxxf86vm1:i386 libxrandr2:i386 libxinerama1:i386 libxrender1:i386
  libxcursor1:i386 libxcomposite1:i386 libxfixes3:i386 libxi6:i386
  xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils x11-utils
  x11-apps xdotool imagemagick
  colord-data icc-profiles-free argyll-ref
  nsis zip unzip
)

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

need_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
  need_update=1
fi

# Source packages of libjpeg-turbo and libpng are built for the target.
sources=/etc/apt/sources.list.d/debian.sources
if [ -f "$sources" ] && ! grep -q 'deb-src' "$sources"; then
  "${sudo_cmd[@]}" sed -i 's/^Types: deb$/Types: deb deb-src/' "$sources"
  need_update=1
elif [ ! -f "$sources" ] && ! grep -qs '^deb-src' /etc/apt/sources.list; then
  grep -s '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' \
    | "${sudo_cmd[@]}" tee -a /etc/apt/sources.list >/dev/null
  need_update=1
fi

if [ ${#missing[@]} -eq 0 ] && [ $need_update -eq 0 ]; then
  exit 0
fi

echo "Installing packages: ${missing[*]:-(none, refreshing the package lists)}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
if [ ${#missing[@]} -gt 0 ]; then
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
