#!/bin/sh
# Prints the per-level replay digests of the current game, in the form the
# replay test stores them (tests/test_replay.cpp, STORED), for a deliberate
# change of behaviour to update them in the same commit.
# Usage: tools/replay-digests.sh [build folder, default build]
set -e
build=${1:-build}
cmake --build "$build" --target valmoren_tests >/dev/null
VALMOREN_PRINT_DIGESTS=1 "$build/tests/valmoren_tests" --gtest_filter='Levels/Replay.*' 2>&1 | grep -E '^    \{0x'
