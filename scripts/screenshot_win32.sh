#!/usr/bin/env bash
# A screenshot of the Windows program's window under Wine and Xvfb, written to
# build/wine-shot/qz-uploader.png (or the path given). Without a second argument the window
# has a few log lines from a start without a port. With "console" it is connected to the
# simulated board with "Stay connected" on: it uploads examples/demo.bas, shows what the
# program printed, and "print 6*7" is typed into the log pane.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-$PWD/build/wine-shot/qz-uploader.png}
mode=${2:-}
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j2 --target qz-uploader qz_win32_checks >/dev/null
work=$PWD/build/wine-shot
rm -rf "$work/prefix" "$work/app" "$work/board"
mkdir -p "$work/app" "$(dirname "$out")"
. scripts/wine_display.sh
start_wine "$work"
cp build/win32/frontends/win32/qz-uploader.exe build/win32/frontends/win32/qz_win32_checks.exe \
  "$work/app/"
if [ "$mode" = console ]; then
  # The board is a POSIX program: a small native build of it alone, as the Wine checks use.
  cmake -S . -B build/wine-board -DCMAKE_BUILD_TYPE=Release -DQZ_TESTS=OFF >/dev/null
  cmake --build build/wine-board -j2 --target qz-board >/dev/null
  build/wine-board/board/qz-board --store "$work/board" --link "$work/tty" >/dev/null 2>&1 &
  board=$!
  for _ in $(seq 50); do [ -e "$work/tty" ] && break; sleep 0.1; done
  wine_com_port COM5 "$work/tty"
  # No stored width: the window opens as wide as its controls need.
  printf '[Windows]\r\nMainX = 10\r\nMainY = 10\r\nMainH = 330\r\nStayConnected = 1\r\n[Micromite]\r\nComport = COM5\r\nSerialSpeed = 115200\r\nDevice = micromite\r\n' \
    >"$work/app/Pellimor.inf"
  cp examples/demo.bas "$work/app/"
  (cd "$work/app" && wine qz-uploader.exe demo.bas) &
  uploader=$!
  for _ in $(seq 100); do [ -s "$work/board/run-output.txt" ] && break; sleep 0.1; done
  sleep 2
  # A click into the log pane gives it the keyboard; the keys go to the board.
  xdotool mousemove 200 250 click 1
  sleep 0.3
  xdotool type --delay 40 'print 6*7'
  xdotool key Return
  sleep 1
else
  # The program uploads the file named on its command line at start; with no port chosen it
  # logs how to go on, which gives the log pane something to show.
  printf '10 PRINT "hello"\r\n' >"$work/app/hello.bas"
  (cd "$work/app" && wine qz-uploader.exe hello.bas) &
  uploader=$!
  sleep 5
fi
# The picture is the window alone, its frame included.
import -window root "$work/screen.png"
eval "$(xdotool search --name 'QZ Program Uploader' getwindowgeometry --shell | head -n 5)"
/usr/bin/convert "$work/screen.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out"
(cd "$work/app" && wine qz_win32_checks.exe close >/dev/null)
wait "$uploader" || true
echo "$out"
