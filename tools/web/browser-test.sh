#!/bin/sh
# The browser test (tests/web): installs Debian's Chromium (and Node.js when
# there is none) and the test's DevTools client from npm when missing, builds
# the test's level-5 program under the same page (<web folder>/level-start,
# its site in level-start/site), then plays the web build in headless
# Chromium. Extra arguments go to the test (--screenshot file.png, --frames
# N, --phone-screenshots folder).
# Usage: browser-test.sh <web folder> <native run folder> [test arguments]
set -e
if [ $# -lt 2 ]; then
  echo "usage: browser-test.sh <web folder> <native run folder> [test arguments]" >&2
  exit 2
fi
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
WEB=$(cd "$1" && pwd)
DATA=$(cd "$2" && pwd)
shift 2

. "$HERE/chromium-setup.sh"
# The level program is linked with emscripten like the game (its libraries
# and objects are the game's own, already built).
if [ -d "$WEB/cmake" ]; then
  export NODE_PATH=/usr/share/nodejs
  export PKG_CONFIG_LIBDIR="$WEB/deps/prefix/lib/pkgconfig"
  cmake --build "$WEB/cmake" --target valmoren_level_start_web -j "${JOBS:-2}"
  python3 "$HERE/make_page.py" "$WEB/level-start" "$ROOT" --data "$DATA" --icons "$DATA/../web-icons" >/dev/null
fi
exec node "$ROOT/tests/web/browser_test.mjs" "$WEB" "$DATA" "$@"
