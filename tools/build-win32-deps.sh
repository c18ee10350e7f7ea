#!/usr/bin/env bash
# Builds the static libraries the Windows build links, from Debian's source
# packages, into a prefix inside the build tree: libjpeg-turbo (62 API, SIMD),
# libpng 1.6 over the cross compiler's static zlib, and GoogleTest. Also
# fetches the tiff source package, whose test images the TIFF reader's tests
# compare with the host's libtiff.
# Built once: a stamp file makes later runs return at once; the tiff source
# has its own stamp, so trees built before it was added fetch it too.
# usage: build-win32-deps.sh <build-root>
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build_root=$(mkdir -p "$1" && cd "$1" && pwd)
prefix=$build_root/deps/prefix
work=$build_root/deps/work
stamp=$prefix/.built-v2

jpeg_version=1:2.1.5-2
png_version=1.6.39-2+deb12u5
tiff_version=4.5.0-6+deb12u4

# Source only, nothing is built from it; the stamp lives in the work folder,
# which a full rebuild below clears.
fetch_tiff_source() {
  local tiff_stamp=$work/.tiff-source-v1
  [ -f "$tiff_stamp" ] && return 0
  mkdir -p "$work"
  (cd "$work" && rm -rf tiff-4.5.0 &&
    apt-get source -qq "tiff=$tiff_version" >/dev/null 2>apt-source-tiff.log) \
    || { cat "$work/apt-source-tiff.log"; exit 1; }
  touch "$tiff_stamp"
}

if [ -f "$stamp" ]; then
  fetch_tiff_source
  exit 0
fi

echo "Building the Windows dependencies into $prefix"
rm -rf "$work" "$prefix"
mkdir -p "$work" "$prefix"
cd "$work"

toolchain=$root/cmake/toolchain-mingw32.cmake
jobs=$(nproc)

apt-get source -qq "libjpeg-turbo=$jpeg_version" >/dev/null 2>apt-source-jpeg.log \
  || { cat apt-source-jpeg.log; exit 1; }
apt-get source -qq "libpng1.6=$png_version" >/dev/null 2>apt-source-png.log \
  || { cat apt-source-png.log; exit 1; }

cmake_common=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DLUMETRA_DEPS_PREFIX="$prefix"
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_INSTALL_LIBDIR=lib)

# libjpeg-turbo resolves a relative library folder against the current directory.
cmake -S libjpeg-turbo-2.1.5 -B jpeg-build "${cmake_common[@]}" -DCMAKE_INSTALL_LIBDIR="$prefix/lib" \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_JPEG7=OFF -DWITH_JPEG8=OFF \
  -DWITH_TURBOJPEG=OFF -DWITH_SIMD=ON -Wno-dev >jpeg-configure.log
cmake --build jpeg-build -j "$jobs" >jpeg-build.log
cmake --install jpeg-build >/dev/null

cmake -S libpng1.6-1.6.39 -B png-build "${cmake_common[@]}" \
  -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
  -DZLIB_INCLUDE_DIR=/usr/i686-w64-mingw32/include \
  -DZLIB_LIBRARY=/usr/i686-w64-mingw32/lib/libz.a >png-configure.log
cmake --build png-build -j "$jobs" >png-build.log
cmake --install png-build >/dev/null

cmake -S /usr/src/googletest -B gtest-build "${cmake_common[@]}" \
  -Dgtest_disable_pthreads=OFF -DBUILD_SHARED_LIBS=OFF >gtest-configure.log
cmake --build gtest-build -j "$jobs" >gtest-build.log
cmake --install gtest-build >/dev/null

fetch_tiff_source
touch "$stamp"
echo "Windows dependencies ready"
