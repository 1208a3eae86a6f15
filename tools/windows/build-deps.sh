#!/bin/sh
# Builds SDL2, libogg, libvorbis, libpng and libebur128 for 64-bit Windows
# from Debian's own source packages, and GoogleTest from Debian's googletest
# sources (/usr/src/googletest), once (tools/deb-libs.sh), with the mingw-w64
# toolchain of toolchain.cmake, static, into <deps>/prefix. zlib is Debian's
# ready-made libz-mingw-w64-dev. Needs the deb-src entries of deb-src.sh.
# Usage: build-deps.sh <deps folder> [jobs]
set -e
HERE=$(cd "$(dirname "$0")" && pwd)
DEPS=$(mkdir -p "$1" && cd "$1" && pwd)
JOBS=${2:-2}
SRC=$DEPS/src
PREFIX=$DEPS/prefix
BUILD=$DEPS/build
TARGET="Windows"
CONFIGURE="cmake -DCMAKE_TOOLCHAIN_FILE=$HERE/toolchain.cmake -DCMAKE_FIND_ROOT_PATH=$PREFIX"
. "$HERE/../deb-libs.sh"

build_one libogg -DBUILD_TESTING=OFF -DINSTALL_DOCS=OFF
build_one libvorbis -DBUILD_TESTING=OFF
build_one libpng1.6 -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
  -DSKIP_INSTALL_PROGRAMS=ON
build_one libebur128 -DBUILD_STATIC_LIBS=ON -DENABLE_INTERNAL_QUEUE_H=ON
# SDL's configure step is the slow one (each check runs the cross compiler).
build_one libsdl2 -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL_TESTS=OFF \
  -DSDL2_DISABLE_UNINSTALL=ON

# GoogleTest from the sources Debian's googletest package installs.
stamp=$PREFIX/.stamp-googletest
gtest_version=$(dpkg-query -W -f='${Version}' googletest 2>/dev/null || true)
if [ -f "$stamp" ]; then
  echo "googletest $(cat "$stamp") (already built)"
else
  echo "Building googletest $gtest_version for $TARGET"
  $CONFIGURE -S /usr/src/googletest -B "$BUILD/googletest" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$PREFIX" -DBUILD_GMOCK=OFF -DBUILD_SHARED_LIBS=OFF
  cmake --build "$BUILD/googletest" -j "$JOBS"
  cmake --install "$BUILD/googletest"
  echo "$gtest_version" > "$stamp"
fi
