#!/bin/sh
# The Windows build checked under Wine, after `make windows`: the DLLs the
# program imports (system DLLs only, read by a check that fails on a file
# that is no program), the application manifest in the shipped program's
# resources, the headless test suite (every test but
# those tests/windows/left-out.txt names, with its reasons), then the real
# program, the zip and the installer on Xvfb (tests/windows/wine_test.py).
# Each run uses a fresh Wine prefix in <out>/wine.
# Usage: wine-test.sh <Windows build folder> [native build folder]
set -e
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
OUT=$(cd "$1" && pwd)
VALMOREN_EXTRA_PACKAGES="xvfb xauth xdotool imagemagick x11-utils" sh "$ROOT/tools/install-deps.sh"

# The DLLs a program imports, one a line, as objdump reads them from its
# import table; fails, printing nothing, when objdump cannot read the file
# or finds no import table in it (every program imports kernel32.dll).
imports() {
  dump=$(x86_64-w64-mingw32-objdump -p "$1" 2>/dev/null) || return 1
  list=$(printf '%s\n' "$dump" | sed -n 's/^[[:space:]]*DLL Name: //p' | sort -f)
  printf '%s\n' "$list" | grep -qix 'kernel32.dll' || return 1
  printf '%s\n' "$list"
}
echo "-- DLLs valmoren.exe imports"
# A check that cannot fail proves nothing: a file that is no program must
# give no list.
if imports "$ROOT/LICENSE" >/dev/null || imports "$OUT/cmake/valmoren.rc" >/dev/null; then
  echo "the import check reads DLLs from a file that is no program" >&2
  exit 1
fi
if ! dlls=$(imports "$OUT/cmake/valmoren.exe"); then
  echo "cannot read the DLLs valmoren.exe imports (x86_64-w64-mingw32-objdump -p)" >&2
  exit 1
fi
echo "$dlls" | tr '\n' ' '
echo
# Every Windows has these; nothing the game ships or the player installs.
SYSTEM_DLLS="advapi32.dll gdi32.dll imm32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll setupapi.dll shell32.dll user32.dll version.dll winmm.dll"
for dll in $dlls; do
  lower=$(echo "$dll" | tr 'A-Z' 'a-z')
  case " $SYSTEM_DLLS " in
    *" $lower "*) ;;
    *) echo "valmoren.exe imports $dll, which is not a system DLL" >&2; exit 1 ;;
  esac
done

echo "-- the application manifest valmoren.exe carries"
# Wine neither stretches a program that is not DPI aware nor holds paths to
# 260 characters, so the program's behaviour there cannot tell whether the
# manifest made it in: its text is read back from the shipped program's
# resources (windres writes each of its lines as a quoted string).
shipped=$(ls "$OUT"/Valmoren-*/valmoren.exe)
manifest=$(x86_64-w64-mingw32-windres -J coff -O rc -i "$shipped" 2>/dev/null | sed -n '/RT_MANIFEST/,/^END/p')
for setting in 'requestedExecutionLevel level=""asInvoker""' '>PerMonitorV2, PerMonitor</dpiAwareness>' \
  '>true/pm</dpiAware>' '>true</longPathAware>' 'supportedOS Id=""{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}""' \
  'name=""Microsoft.Windows.Common-Controls"" version=""6.0.0.0""'; do
  if ! printf '%s\n' "$manifest" | grep -qF -- "$setting"; then
    echo "$shipped carries no manifest saying $setting" >&2
    exit 1
  fi
done
echo "asInvoker, per-monitor v2 DPI awareness, long paths, Windows 10 and 11, common controls 6"

export WINEPREFIX="$OUT/wine"
export WINEDEBUG=-all
# No .NET or browser engine to offer: Wine would ask to download them.
export WINEDLLOVERRIDES="mscoree=;mshtml="
rm -rf "$WINEPREFIX"
start=$(date +%s)
wineboot -i >/dev/null 2>&1 || true
wineserver -w
echo "-- fresh Wine prefix made in $(( $(date +%s) - start )) s"

echo "-- the test suite under Wine"
filter=$(sed -e 's/#.*//' -e 's/[[:space:]]//g' "$ROOT/tests/windows/left-out.txt" | grep -v '^$' | paste -sd: -)
start=$(date +%s)
set +e
(cd "$OUT/cmake/tests" && wine valmoren_tests.exe --gtest_filter="-$filter" --gtest_brief=1) > "$OUT/wine-tests.log" 2>&1
status=$?
set -e
grep -E "^\[  (FAILED|PASSED|SKIPPED) |^\[==========\]|Failure|error" "$OUT/wine-tests.log" | tail -n 40
passed=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\{0,1\}\..*/\1/p' "$OUT/wine-tests.log")
failed=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) tests\{0,1\}, listed below.*/\1/p' "$OUT/wine-tests.log")
# --gtest_brief prints the skipped count without the list; each skip's reason
# is on the line after its "Skipped".
skipped=$(sed -n 's/^\[  SKIPPED \] \([0-9]*\) tests\{0,1\}[.,].*/\1/p' "$OUT/wine-tests.log")
tr -d '\r' < "$OUT/wine-tests.log" | grep -A1 ': Skipped$' | grep -v -e ': Skipped$' -e '^--$' | sed 's/^/skipped: /' || true
left_out=$(sed -e 's/#.*//' -e 's/[[:space:]]//g' "$ROOT/tests/windows/left-out.txt" | grep -vc '^$' || true)
echo "the test suite under Wine took $(( $(date +%s) - start )) s; $left_out left out (tests/windows/left-out.txt)"
echo "Wine: ${passed:-0} passed, ${failed:-0} failed, ${skipped:-0} skipped"
if [ "$status" -ne 0 ] || [ -z "$passed" ]; then
  echo "the test suite failed under Wine (status $status); its output: $OUT/wine-tests.log" >&2
  exit 1
fi

# The suite ran without a display; Wine's own processes started for it (its
# desktop among them) would stay without one for the window checks that
# follow if its server lived on: it is ended first.
wineserver -k || true
wineserver -w || true

echo "-- the real program, the zip and the installer under Wine on Xvfb"
start=$(date +%s)
VALMOREN_GAME_COMMAND="wine valmoren.exe" python3 "$ROOT/tests/windows/wine_test.py" "$OUT"
echo "Wine window and package checks took $(( $(date +%s) - start )) s"
wineserver -k || true
