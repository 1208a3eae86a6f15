#!/bin/sh
# The browser benchmark (bench/web_bench.mjs): sets up Chromium and the
# DevTools client as the browser test does, takes the desktop program's
# figures under Xvfb (bench/sdl_pacing.py; VALMOREN_DESKTOP_FIGURES names a
# JSON file of them already taken), then prints the browser build's figures
# on an emulated phone beside them. With --profile it also builds the program
# with its function names into <web folder>/profile (the same code) and
# prints where level 1's time goes there, from Chromium's profiler and trace.
# Usage: web-bench.sh <web folder> <native run folder> [--profile]
set -e
if [ $# -lt 2 ]; then
  echo "usage: web-bench.sh <web folder> <native run folder> [--profile]" >&2
  exit 2
fi
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
WEB=$(cd "$1" && pwd)
DATA=$(cd "$2" && pwd)
PROFILE=""
if [ "$3" = "--profile" ]; then PROFILE=1; fi

. "$HERE/chromium-setup.sh"
DESKTOP=${VALMOREN_DESKTOP_FIGURES:-}
if [ -z "$DESKTOP" ]; then
  DESKTOP="$WEB/desktop-figures.json"
  rm -f "$DESKTOP"
  python3 "$ROOT/bench/sdl_pacing.py" "$DATA" 600 --json "$DESKTOP" >/dev/null || echo "desktop figures not taken"
fi
if [ -n "$PROFILE" ]; then
  VALMOREN_WEB_DEPS="$WEB/deps" VALMOREN_WEB_CMAKE_FLAGS="-DVALMOREN_WEB_NAMES=ON" \
    sh "$HERE/build.sh" "$WEB/profile" "$DATA" "${JOBS:-2}" >/dev/null
  exec node "$ROOT/bench/web_bench.mjs" "$WEB/profile" "$DATA" --desktop "$DESKTOP" --profile "$WEB/profile/figures"
fi
exec node "$ROOT/bench/web_bench.mjs" "$WEB" "$DATA" --desktop "$DESKTOP"
