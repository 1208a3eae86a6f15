#!/bin/sh
# Installs the Debian packages the game, its tests and benchmarks need,
# only those that are missing; uses sudo when not run as root.
set -e
PACKAGES="cmake make g++ pkg-config libsdl2-dev libx11-dev libvorbis-dev libpng-dev libebur128-dev libgtest-dev libgmock-dev libbenchmark-dev"
if [ -n "$VALMOREN_EXTRA_PACKAGES" ]; then PACKAGES="$PACKAGES $VALMOREN_EXTRA_PACKAGES"; fi
missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
SUDO=""
if [ "$(id -u)" != "0" ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends $missing
