# Cross-building for 32-bit Windows with MinGW-w64 (posix thread model: its
# libstdc++ has std::mutex, which GoogleTest needs).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)

# The dependency prefix (static libjpeg, libpng, GoogleTest) comes first, then the
# cross compiler's own tree (static zlib).
if(NOT LUMETRA_DEPS_PREFIX AND DEFINED ENV{LUMETRA_DEPS_PREFIX})
  set(LUMETRA_DEPS_PREFIX "$ENV{LUMETRA_DEPS_PREFIX}")
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES LUMETRA_DEPS_PREFIX)
set(CMAKE_FIND_ROOT_PATH ${LUMETRA_DEPS_PREFIX} /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ZLIB_USE_STATIC_LIBS ON)
