# Shared by the browser and Windows library builds (sourced, not run): builds
# a library from Debian's own source package, once. Its sources are unpacked
# with `apt-get source` (Debian's patches applied) into $SRC, configured with
# $CONFIGURE (a CMake command line for the target), built and installed into
# $PREFIX. A library already installed there (its stamp names the Debian
# version) is left as it is. Needs the deb-src entries of tools/web/deb-src.sh.
# The caller sets SRC, PREFIX, BUILD, CONFIGURE, TARGET (a word for messages)
# and JOBS; LIB_PLACEHOLDERS and LIB_JOBS (its build's jobs, when not JOBS) are
# for one library.

# The Debian versions apt offers for a source package, newest first.
source_versions() {
  apt-cache showsrc "$1" | sed -n 's/^Version: //p' | sort -u |
    while read -r v; do echo "$v"; done | sort -r -V
}

# build_one <source package> [cmake options...]; the sources' own folder may
# be named with LIB_SUBDIR (a folder inside the unpacked sources).
build_one() {
  pkg=$1
  shift
  stamp=$PREFIX/.stamp-$pkg
  if [ -f "$stamp" ]; then
    echo "$pkg $(cat "$stamp") (already built)"
    return 0
  fi
  mkdir -p "$SRC"
  # The newest version the mirror really serves (a listed one may be gone).
  version=""
  for v in $(source_versions "$pkg"); do
    upstream=${v#*:}
    upstream=${upstream%-*}
    upstream=${upstream%+dfsg}
    dir=$(ls -d "$SRC/$pkg-$upstream"* 2>/dev/null | head -n 1)
    if [ -n "$dir" ] && [ -d "$dir" ] && [ -f "$SRC/.unpacked-$pkg-$v" ]; then version=$v; break; fi
    # apt-get source unpacks with Debian's patches applied (dpkg-source -x).
    if (cd "$SRC" && apt-get source "$pkg=$v"); then
      dir=$(ls -d "$SRC/$pkg-$upstream"* | head -n 1)
      touch "$SRC/.unpacked-$pkg-$v"
      version=$v
      break
    fi
    echo "$pkg $v cannot be had from the mirror; trying an older version" >&2
  done
  # The mirror may hold the upstream sources but no version's Debian
  # packaging (its patches): the newest version's upstream sources are built.
  if [ -z "$version" ]; then
    for v in $(source_versions "$pkg"); do
      upstream=${v#*:}
      upstream=${upstream%-*}
      upstream=${upstream%+dfsg}
      orig=$(ls "$SRC/${pkg}_$upstream"*.orig.tar.* 2>/dev/null | head -n 1)
      [ -n "$orig" ] || continue
      echo "$pkg $v: Debian's packaging is missing on the mirror; building its upstream sources as they are" >&2
      dir=$SRC/$pkg-$upstream
      rm -rf "$dir" && mkdir -p "$dir" && tar -xf "$orig" -C "$dir" --strip-components=1
      version="$v (upstream sources)"
      break
    done
  fi
  if [ -z "$version" ]; then
    echo "No source package $pkg: are deb-src entries set up (tools/web/deb-src.sh)?" >&2
    exit 1
  fi
  # Files the sources' build names but Debian's repacked sources leave out
  # (LIB_PLACEHOLDERS, paths inside the sources), made empty.
  for f in $LIB_PLACEHOLDERS; do
    if [ ! -e "$dir/$f" ]; then mkdir -p "$(dirname "$dir/$f")" && : > "$dir/$f"; fi
  done
  echo "Building $pkg $version for $TARGET"
  $CONFIGURE -S "$dir" -B "$BUILD/$pkg" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$PREFIX" -DCMAKE_PREFIX_PATH="$PREFIX" \
    -DBUILD_SHARED_LIBS=OFF "$@"
  cmake --build "$BUILD/$pkg" -j "${LIB_JOBS:-$JOBS}"
  cmake --install "$BUILD/$pkg"
  echo "$version" > "$stamp"
}
