#!/usr/bin/env bash
# A screenshot of the Linux desktop window with "Stay connected" on, on Xvfb: it uploads
# examples/console.bas to the simulated board, which asks for a name at INPUT; the name is
# typed into the log pane, then "PRINT 6*7" and Enter, as a user would. Written to
# build/qt-shot/qz-uploader-console.png (or the path given).
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-$PWD/build/qt-shot/qz-uploader-console.png}
cmake --preset qt >/dev/null
cmake --build --preset qt -j"$(nproc)" --target qz-uploader qz-board >/dev/null
work=$(mktemp -d)
mkdir -p "$(dirname "$out")" "$work/config"
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 760x540x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
build/qt/board/qz-board --store "$work/board" --link "$work/tty" >/dev/null 2>&1 &
board=$!
trap 'kill "${uploader:-}" "$board" "$xvfb" 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 50); do [ -e "$work/tty" ] && break; sleep 0.1; done

printf '[Windows]\r\nMainX = 10\r\nMainY = 10\r\nMainW = 640\r\nMainH = 480\r\nStayConnected = 1\r\n[Micromite]\r\nComport = %s\r\nSerialSpeed = 115200\r\nDevice = micromite\r\n' \
  "$work/tty" >"$work/config/Pellimor.inf"
export DISPLAY=$display XDG_CONFIG_HOME=$work/config
cp examples/console.bas "$work/console.bas"
build/qt/frontends/qt/qz-uploader "$work/console.bas" >/dev/null 2>&1 &
uploader=$!
for _ in $(seq 100); do
  grep -q 'RUN' "$work/board/transcript.log" 2>/dev/null && break
  sleep 0.1
done
sleep 2
# Keys go to the window with the focus: the log pane, once the console holds the port.
window=$(xdotool search --sync --name "QZ Program Uploader" | head -1)
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
xdotool type --delay 40 "Ada"
xdotool key Return
sleep 1
xdotool type --delay 40 "PRINT 6*7"
xdotool key Return
sleep 1.5
import -window root "$out"
echo "$out"
