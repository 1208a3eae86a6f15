#!/bin/sh
# Builds SDL2, libogg, libvorbis and zlib for the browser from Debian's own source
# packages, once (tools/deb-libs.sh): each library's sources are unpacked
# with `apt-get source` into <deps>/src, built with emscripten's CMake wrapper
# and installed into <deps>/prefix. Needs the deb-src entries of deb-src.sh.
# Usage: build-deps.sh <deps folder> [jobs]
set -e
DEPS=$(mkdir -p "$1" && cd "$1" && pwd)
JOBS=${2:-2}
SRC=$DEPS/src
PREFIX=$DEPS/prefix
export NODE_PATH=/usr/share/nodejs

TARGET="the browser"
BUILD=$DEPS/build
CONFIGURE="emcmake cmake -DCMAKE_FIND_ROOT_PATH=$PREFIX"
. "$(dirname "$0")/../deb-libs.sh"

# libogg finds its integer types by reading sizes out of a linked test
# program, which emscripten's JavaScript output does not hold: the sizes of
# wasm32 are given instead.
build_one libogg -DBUILD_TESTING=OFF -DINSTALL_DOCS=OFF \
  -DHAVE_INT16_SIZE=TRUE -DINT16_SIZE=2 -DHAVE_UINT16_SIZE=TRUE -DUINT16_SIZE=2 \
  -DHAVE_INT32_SIZE=TRUE -DINT32_SIZE=4 -DHAVE_UINT32_SIZE=TRUE -DUINT32_SIZE=4 \
  -DHAVE_INT64_SIZE=TRUE -DINT64_SIZE=8
build_one libvorbis -DBUILD_TESTING=OFF
# zlib packs the recordings of games; its pkg-config file where the others
# are. Its CMake file names a Windows resource file that Debian's sources
# leave out (unused here). Its shared and static libraries are both libz.a
# under emscripten: built one after the other, never both at once into the
# same file.
LIB_PLACEHOLDERS=win32/zlib1.rc
LIB_JOBS=1
build_one zlib -DINSTALL_PKGCONFIG_DIR="$PREFIX/lib/pkgconfig"
LIB_PLACEHOLDERS=
LIB_JOBS=
build_one libsdl2 -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL_TESTS=OFF \
  -DSDL2_DISABLE_SDL2MAIN=ON -DSDL2_DISABLE_UNINSTALL=ON
