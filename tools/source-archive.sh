#!/bin/sh
# The game's source, as the GPL asks it to go with the program: writes
# valmoren-<version>-source.tar.gz into <out folder> from the repository's
# committed tree (git archive HEAD: the same commit gives the same bytes).
# In a tree unpacked from such an archive, which has no repository, the tree
# itself is packed, without its build folders.
# Usage: source-archive.sh <out folder>
set -e
if [ $# -ne 1 ]; then
  echo "usage: source-archive.sh <out folder>" >&2
  exit 2
fi
ROOT=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$1"
OUT=$(cd "$1" && pwd)
VERSION=$(sed -n 's/^project(Valmoren VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")
NAME=valmoren-$VERSION-source
if git -C "$ROOT" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  if [ -n "$(git -C "$ROOT" status --porcelain --untracked-files=no)" ]; then
    echo "source-archive.sh: changes not committed yet are not in $NAME.tar.gz" >&2
  fi
  git -C "$ROOT" archive --format=tar.gz --prefix="$NAME/" -o "$OUT/$NAME.tar.gz" HEAD
else
  tar -C "$ROOT" --exclude=./build --exclude='./build-*' --exclude=.git --transform "s,^\.,$NAME," \
    --sort=name --owner=0 --group=0 -czf "$OUT/$NAME.tar.gz" .
fi
echo "$OUT/$NAME.tar.gz: $(stat -c %s "$OUT/$NAME.tar.gz") bytes"
