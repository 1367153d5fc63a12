#!/usr/bin/env bash
# Builds tst_win32 (the platform room's Windows calls, without Qt) with mingw-w64 and runs it
# under Wine, headless. The prefix lives in the build folder; its first creation takes about
# half a minute. Ends with tst_win32's own last line, "N passed, M failed".
# Usage: scripts/test-win32.sh [build folder, default build-win32]
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh windows
out=${1:-build-win32}
mkdir -p "$out"
out=$(cd "$out" && pwd)

x86_64-w64-mingw32-g++ -std=c++20 -O1 -Wall -Wextra -Wpedantic -Werror -static -Isrc \
  -o "$out/tst_win32.exe" tests/win32/tst_win32.cpp src/platform/win32/*.cpp \
  -ladvapi32 -lshell32

wine=$(command -v wine || command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
export WINEPREFIX="$out/wine-prefix" WINEDEBUG=-all WINEARCH=win64
# No display, no Mono or Gecko to offer: nothing waits for a click.
export WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  start=$SECONDS
  timeout 300 "$wine" wineboot --init >/dev/null 2>&1
  # wineboot returns before its server has written the prefix's registry; a program started
  # meanwhile may fail without a word.
  timeout 300 "$wineserver" -w
  [ -f "$WINEPREFIX/system.reg" ] || { echo "no Wine prefix was made in $WINEPREFIX" >&2; exit 1; }
  echo "Wine prefix made in $((SECONDS - start)) s"
fi
timeout 120 "$wine" "$out/tst_win32.exe"
