#!/bin/sh
# Prints the replay digests of the current game (each level to its win, then
# the whole game), in the form the replay test stores them
# (tests/test_replay.cpp, STORED), for a deliberate change of behaviour to
# update them in the same commit. With --recordings it also makes the stored
# recordings (tests/replays/*.vrec) anew: the real program under Xvfb played
# by the window tests' scripted players, each game's recording kept, then
# checked with --check.
# Usage: tools/replay-digests.sh [build folder, default build] [--recordings]
set -e
build=build
recordings=
for arg in "$@"; do
  case "$arg" in
    --recordings) recordings=1 ;;
    *) build=$arg ;;
  esac
done
cmake --build "$build" --target valmoren_tests >/dev/null
VALMOREN_PRINT_DIGESTS=1 "$build/tests/valmoren_tests" --gtest_filter='Levels/Replay.*:Replay.*' 2>&1 |
  grep -E '^    \{[0-9]+, \{0x'
if [ -n "$recordings" ]; then
  here=$(cd "$(dirname "$0")/.." && pwd)
  cmake --build "$build" --target valmoren valmoren_level_start >/dev/null
  export VALMOREN_KEEP_RECORDINGS="$here/tests/replays"
  python3 "$here/tests/xvfb/window_test.py" "$build/game" >/dev/null
  python3 "$here/tests/xvfb/pad_test.py" "$build/game" "$build/tests/xvfb/valmoren_level_start" >/dev/null
  unset VALMOREN_KEEP_RECORDINGS
  python3 "$here/tests/replays/check_recordings.py" "$build/game"
fi
