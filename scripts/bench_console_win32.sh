#!/usr/bin/env bash
# The Windows window's console under Wine while the simulated board prints without pause at
# 115200 baud (10 bits a byte): how long a resize takes to show in the log pane, the longest
# pass of the event loop, and how much the pane shows a second; once with an empty log and
# once with a log close to the scroll-back's bound. About a minute.
#   scripts/bench_console_win32.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j2 --target qz_win32_checks >/dev/null
cmake -S . -B build/wine-board -DCMAKE_BUILD_TYPE=Release -DQZ_TESTS=OFF >/dev/null
cmake --build build/wine-board -j2 --target qz-board >/dev/null
work=$PWD/build/wine-bench
rm -rf "$work"
mkdir -p "$work/app"
. scripts/wine_display.sh
start_wine "$work"
build/wine-board/board/qz-board --line-speed --link "$work/tty" >/dev/null 2>&1 &
board=$!
for _ in $(seq 50); do [ -e "$work/tty" ] && break; sleep 0.1; done
wine_com_port COM5 "$work/tty"
cp build/win32/frontends/win32/qz_win32_checks.exe "$work/app/"
printf 'For i = 100000 To 999999\r\nPrint "0123456789abcdefghij row "; i\r\nNext\r\n' >"$work/app/flood.bas"
appdir="Z:${work//\//\\}\\app\\"
# With an empty log, and with one a long session has filled close to the scroll-back's bound.
for prefill in 0 18000; do
  echo "-- $prefill lines in the log before"
  (cd "$work/app" &&
    wine qz_win32_checks.exe bench-console "$appdir" COM5 "${appdir}flood.bas" "$seconds" "$prefill")
done
