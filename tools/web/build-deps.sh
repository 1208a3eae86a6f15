#!/bin/sh
# Builds SDL2, libogg and libvorbis for the browser from Debian's own source
# packages, once: each library's sources are unpacked with `apt-get source`
# into <deps>/src, built with emscripten's CMake wrapper and installed into
# <deps>/prefix. A library already installed there (its stamp names the
# Debian version) is left as it is. Needs the deb-src entries of deb-src.sh.
# Usage: build-deps.sh <deps folder> [jobs]
set -e
DEPS=$(mkdir -p "$1" && cd "$1" && pwd)
JOBS=${2:-2}
SRC=$DEPS/src
PREFIX=$DEPS/prefix
export NODE_PATH=/usr/share/nodejs

# The Debian version apt offers for a source package (the first listed).
source_version() {
  apt-cache showsrc "$1" | sed -n 's/^Version: //p' | head -n 1
}

build_one() {
  pkg=$1
  shift
  stamp=$PREFIX/.stamp-$pkg
  if [ -f "$stamp" ]; then
    echo "$pkg $(cat "$stamp") (already built)"
    return 0
  fi
  version=$(source_version "$pkg")
  if [ -z "$version" ]; then
    echo "No source package $pkg: are deb-src entries set up (tools/web/deb-src.sh)?" >&2
    exit 1
  fi
  upstream=${version#*:}
  upstream=${upstream%-*}
  mkdir -p "$SRC"
  dir=$SRC/$pkg-$upstream
  if [ ! -d "$dir" ]; then
    # apt-get source unpacks with Debian's patches applied (dpkg-source -x).
    (cd "$SRC" && apt-get source "$pkg=$version")
  fi
  echo "Building $pkg $version for the browser"
  emcmake cmake -S "$dir" -B "$DEPS/build/$pkg" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$PREFIX" -DCMAKE_PREFIX_PATH="$PREFIX" -DCMAKE_FIND_ROOT_PATH="$PREFIX" \
    -DBUILD_SHARED_LIBS=OFF "$@"
  cmake --build "$DEPS/build/$pkg" -j "$JOBS"
  cmake --install "$DEPS/build/$pkg"
  echo "$version" > "$stamp"
}

# libogg finds its integer types by reading sizes out of a linked test
# program, which emscripten's JavaScript output does not hold: the sizes of
# wasm32 are given instead.
build_one libogg -DBUILD_TESTING=OFF -DINSTALL_DOCS=OFF \
  -DHAVE_INT16_SIZE=TRUE -DINT16_SIZE=2 -DHAVE_UINT16_SIZE=TRUE -DUINT16_SIZE=2 \
  -DHAVE_INT32_SIZE=TRUE -DINT32_SIZE=4 -DHAVE_UINT32_SIZE=TRUE -DUINT32_SIZE=4 \
  -DHAVE_INT64_SIZE=TRUE -DINT64_SIZE=8
build_one libvorbis -DBUILD_TESTING=OFF
build_one libsdl2 -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL_TESTS=OFF \
  -DSDL2_DISABLE_SDL2MAIN=ON -DSDL2_DISABLE_UNINSTALL=ON
