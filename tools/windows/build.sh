#!/bin/sh
# The Windows build, everything `make windows` does after the native build
# has generated the data and the icons: installs the mingw-w64 cross
# compilers, Wine, NSIS and zip when missing, makes Debian's source packages
# reachable, builds the libraries for Windows once into <out>/deps, makes the
# icon, cross-builds valmoren.exe and the test program into <out>/cmake, and
# packs the zip and the installer into <out>.
# Usage: build.sh <out folder> <native build folder> [jobs]
set -e
if [ $# -lt 2 ]; then
  echo "usage: build.sh <out folder> <native build folder> [jobs]" >&2
  exit 2
fi
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
JOBS=${3:-2}
mkdir -p "$1"
OUT=$(cd "$1" && pwd)
NATIVE=$(cd "$2" && pwd)
DATA=$NATIVE/game

VALMOREN_EXTRA_PACKAGES="$VALMOREN_EXTRA_PACKAGES $(cat "$HERE/packages.txt" | tr '\n' ' ')" \
  sh "$ROOT/tools/install-deps.sh"
SUDO=""
if [ "$(id -u)" != "0" ]; then SUDO="sudo"; fi
$SUDO sh "$ROOT/tools/web/deb-src.sh"

sh "$HERE/build-deps.sh" "$OUT/deps" "$JOBS"
PREFIX=$OUT/deps/prefix

python3 "$HERE/make_ico.py" "$NATIVE/windows-icons" "$OUT/valmoren.ico"

echo "Building the game for Windows with $(x86_64-w64-mingw32-g++-posix --version | head -n 1)"
cmake -S "$ROOT" -B "$OUT/cmake" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$HERE/toolchain.cmake" -DCMAKE_FIND_ROOT_PATH="$PREFIX" \
  -DVALMOREN_WINDOWS_DATA="$DATA" -DVALMOREN_WINDOWS_ICON="$OUT/valmoren.ico"
cmake --build "$OUT/cmake" -j "$JOBS"

sh "$HERE/package.sh" "$OUT" "$DATA"
