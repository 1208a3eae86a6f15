#!/bin/sh
# What a Windows player downloads, from the cross-built program in
# <out>/cmake and the generated data: the folder Valmoren-<version>/ (the
# program, img\, sounds\, suget.dat, README.txt and LICENSE.txt with CR LF
# lines), zipped as valmoren-<version>-windows-x86_64.zip, and the installer
# valmoren-<version>-setup.exe made from the same folder by NSIS.
# Usage: package.sh <out folder> <native run folder holding the data>
set -e
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
OUT=$(cd "$1" && pwd)
DATA=$(cd "$2" && pwd)
VERSION=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$OUT/cmake/CMakeCache.txt")
NAME=valmoren-$VERSION-windows-x86_64
STAGE=$OUT/Valmoren-$VERSION

rm -rf "$STAGE"
mkdir -p "$STAGE"
x86_64-w64-mingw32-strip -o "$STAGE/valmoren.exe" "$OUT/cmake/valmoren.exe"
cp -r "$DATA/img" "$DATA/sounds" "$DATA/suget.dat" "$STAGE/"
# Text files for Notepad: CR LF line ends.
sed 's/$/\r/' "$HERE/README.txt" > "$STAGE/README.txt"
sed 's/$/\r/' "$ROOT/LICENSE" > "$STAGE/LICENSE.txt"
# One date for every file, so the same sources give the same zip.
find "$STAGE" -exec touch -d "@$(git -C "$ROOT" log -1 --format=%ct 2>/dev/null || echo 0)" {} +

rm -f "$OUT/$NAME.zip"
(cd "$OUT" && find "Valmoren-$VERSION" | LC_ALL=C sort | zip -q -X -9 "$OUT/$NAME.zip" -@)
echo "$OUT/$NAME.zip: $(stat -c %s "$OUT/$NAME.zip") bytes"

makensis -V2 -DVERSION="$VERSION" -DSTAGE="$STAGE" -DICON="$OUT/valmoren.ico" \
  -DOUTFILE="$OUT/valmoren-$VERSION-setup.exe" "$HERE/installer.nsi"
echo "$OUT/valmoren-$VERSION-setup.exe: $(stat -c %s "$OUT/valmoren-$VERSION-setup.exe") bytes"
