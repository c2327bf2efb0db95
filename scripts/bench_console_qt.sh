#!/usr/bin/env bash
# The Linux window's console while the simulated board prints without pause, as fast as
# 115200 baud carries it (10 bits a byte), into a pane already near its scroll-back bound:
# how long a resize takes to show, the widest stall of the event loop, and how much the pane
# shows a second. Runs on Xvfb; about 20 s.
#   scripts/bench_console_qt.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
cmake --preset qt >/dev/null
cmake --build --preset qt -j2 --target qz_console_qt_bench qz-board >/dev/null
work=$(mktemp -d)
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
board=
trap 'kill $board $xvfb 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
printf 'For i = 100000 To 999999\nPrint "0123456789abcdefghij row "; i\nNext\n' >"$work/flood.bas"
export DISPLAY=$display XDG_CONFIG_HOME=$work/config
build/qt/board/qz-board --line-speed --link "$work/tty" >/dev/null 2>&1 &
board=$!
for _ in $(seq 50); do [ -e "$work/tty" ] && break; sleep 0.1; done
printf '[Micromite]\r\nComport = %s\r\nSerialSpeed = 115200\r\nDevice = micromite\r\n' \
  "$work/tty" >"$work/settings.inf"
build/qt/bench/qz_console_qt_bench "$work/settings.inf" "$work/flood.bas" "$seconds"
