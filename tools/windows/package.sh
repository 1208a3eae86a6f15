#!/bin/sh
# What a Windows player downloads, from the cross-built program in
# <out>/cmake and the generated data: the folder Valmoren-<version>/ (the
# program, img\, sounds\, suget.dat, and README.txt, LICENSE.txt and
# THIRD-PARTY.txt with CR LF lines), zipped as
# valmoren-<version>-windows-x86_64.zip, the installer
# valmoren-<version>-setup.exe made from the same folder by NSIS (which
# installs, and uninstalls, exactly the folder's files, listed by name here),
# and beside them the game's source, valmoren-<version>-source.tar.gz.
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
sed -e "s/@VERSION@/$VERSION/g" -e 's/$/\r/' "$HERE/README.txt" > "$STAGE/README.txt"
sed 's/$/\r/' "$ROOT/LICENSE" > "$STAGE/LICENSE.txt"
python3 "$ROOT/tools/third-party.py" windows "$OUT/deps" "$OUT/THIRD-PARTY.txt"
sed 's/$/\r/' "$OUT/THIRD-PARTY.txt" > "$STAGE/THIRD-PARTY.txt"
# One date for every file, so the same sources give the same zip.
find "$STAGE" -exec touch -d "@$(git -C "$ROOT" log -1 --format=%ct 2>/dev/null || echo 0)" {} +

rm -f "$OUT/$NAME.zip"
(cd "$OUT" && find "Valmoren-$VERSION" | LC_ALL=C sort | zip -q -X -9 "$OUT/$NAME.zip" -@)
echo "$OUT/$NAME.zip: $(stat -c %s "$OUT/$NAME.zip") bytes"

# The installer's file lists: every file of the folder by name, and for the
# uninstaller the same files, then their folders deepest first (removed only
# when that leaves them empty).
LISTS=$OUT/installer-lists
mkdir -p "$LISTS"
(cd "$STAGE" && find . -mindepth 1 | LC_ALL=C sort | sed 's,^\./,,') > "$LISTS/all.txt"
if grep -q '["$]' "$LISTS/all.txt"; then
  echo "package.sh: a file name the installer cannot hold: $(grep '["$]' "$LISTS/all.txt" | head -n 1)" >&2
  exit 1
fi
: > "$LISTS/install-files.nsh"
: > "$LISTS/uninstall-files.nsh"
folder=.
while read -r path; do
  [ -d "$STAGE/$path" ] && continue
  dir=$(dirname "$path")
  if [ "$dir" != "$folder" ]; then
    folder=$dir
    if [ "$dir" = . ]; then out=''; else out="\\$(printf '%s' "$dir" | tr '/' '\\')"; fi
    printf 'SetOutPath "$INSTDIR%s"\n' "$out" >> "$LISTS/install-files.nsh"
  fi
  printf 'File "%s"\n' "$STAGE/$path" >> "$LISTS/install-files.nsh"
  printf 'Delete "$INSTDIR\\%s"\n' "$(printf '%s' "$path" | tr '/' '\\')" >> "$LISTS/uninstall-files.nsh"
done < "$LISTS/all.txt"
(cd "$STAGE" && find . -mindepth 1 -type d | sed 's,^\./,,' | awk '{ print length($0) " " $0 }' | sort -rn |
  cut -d' ' -f2- | tr '/' '\\' | sed 's/^/RMDir "$INSTDIR\\/; s/$/"/') >> "$LISTS/uninstall-files.nsh"

makensis -V2 -DVERSION="$VERSION" -DSTAGE="$STAGE" -DLISTS="$LISTS" -DICON="$OUT/valmoren.ico" \
  -DOUTFILE="$OUT/valmoren-$VERSION-setup.exe" "$HERE/installer.nsi"
echo "$OUT/valmoren-$VERSION-setup.exe: $(stat -c %s "$OUT/valmoren-$VERSION-setup.exe") bytes"

sh "$ROOT/tools/source-archive.sh" "$OUT"
