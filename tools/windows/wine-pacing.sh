#!/bin/sh
# Pacing figures of the Windows program under Wine on Xvfb, measured as the
# Linux window's are (bench/sdl_pacing.py): level-1 frame interval mean and
# deviation, the main thread's share of a core, start-up time. Uses the Wine
# prefix of the Windows checks (<out>/wine), made when missing.
# Usage: wine-pacing.sh <Windows build folder> [frames]
set -e
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
OUT=$(cd "$1" && pwd)
STAGE=$(ls -d "$OUT"/Valmoren-*[0-9] | head -n 1)
export WINEPREFIX="$OUT/wine"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w
fi
echo "Windows program under Wine $(wine --version | sed 's/^wine-//') ($STAGE):"
VALMOREN_GAME_COMMAND="wine valmoren.exe" python3 "$ROOT/bench/sdl_pacing.py" "$STAGE" ${2:-600}
