#!/bin/sh
# The browser build, everything `make web` does after the native asset
# generator has written the data: installs emscripten (and dpkg-dev, which
# unpacks Debian's source packages) when missing, makes Debian's source
# packages reachable, builds SDL2, libogg, libvorbis and zlib for the browser
# once into <web folder>/deps, builds the game into <web folder>, and makes the
# site from it, the data packs, the page and its icons (assetgen
# --web-icons; by default in web-icons/ beside the run folder) in <web
# folder>/site. The brotli tool, when installed, adds Brotli copies.
# Usage: build.sh <web folder> <native run folder holding the data> [jobs] [icons folder]
# VALMOREN_WEB_DEPS names another folder of built libraries (a second build
# of the program beside the first shares its libraries); VALMOREN_WEB_CMAKE_FLAGS
# adds options to the program's configuration.
set -e
if [ $# -lt 2 ]; then
  echo "usage: build.sh <web folder> <native run folder> [jobs] [icons folder]" >&2
  exit 2
fi
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
JOBS=${3:-2}
mkdir -p "$1"
WEB=$(cd "$1" && pwd)
DATA=$(cd "$2" && pwd)
ICONS=${4:-$DATA/../web-icons}

VALMOREN_EXTRA_PACKAGES="emscripten dpkg-dev brotli" sh "$ROOT/tools/install-deps.sh"
SUDO=""
if [ "$(id -u)" != "0" ]; then SUDO="sudo"; fi
$SUDO sh "$HERE/deb-src.sh"

# Debian's emscripten finds its JavaScript tools among Debian's Node.js
# modules, also when the machine's node is not Debian's.
export NODE_PATH=/usr/share/nodejs
DEPS=${VALMOREN_WEB_DEPS:-$WEB/deps}
sh "$HERE/build-deps.sh" "$DEPS" "$JOBS"

echo "Building the game for the browser with emscripten $(emcc --version | head -n 1 | sed 's/.* \([0-9][0-9.]*\) .*/\1/')"
# pkg-config reads the browser libraries only, also when the build configures
# itself again.
export PKG_CONFIG_LIBDIR="$DEPS/prefix/lib/pkgconfig"
# shellcheck disable=SC2086
emcmake cmake -S "$ROOT" -B "$WEB/cmake" -DCMAKE_BUILD_TYPE=Release \
  -DVALMOREN_WEB_OUT="$WEB" -DCMAKE_FIND_ROOT_PATH="$DEPS/prefix" \
  $VALMOREN_WEB_CMAKE_FLAGS
cmake --build "$WEB/cmake" -j "$JOBS"
python3 "$HERE/make_page.py" "$WEB" "$ROOT" --data "$DATA" --icons "$ICONS"
