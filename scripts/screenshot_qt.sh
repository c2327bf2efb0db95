#!/usr/bin/env bash
# A screenshot of the Linux desktop window on Xvfb after it uploaded examples/demo.bas to
# the simulated board, written to build/qt-shot/qz-uploader.png (or the path given). A second
# argument scales the display (QT_SCALE_FACTOR), as a desktop at 200 % does: 2.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-$PWD/build/qt-shot/qz-uploader.png}
scale=${2:-1}
cmake --preset qt >/dev/null
cmake --build --preset qt -j"$(nproc)" --target qz-uploader qz-board >/dev/null
work=$(mktemp -d)
mkdir -p "$(dirname "$out")" "$work/config"
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 "$((700 * scale))x$((460 * scale))x24" -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
build/qt/board/qz-board --store "$work/board" --link "$work/tty" >/dev/null 2>&1 &
board=$!
trap 'kill "${uploader:-}" "$board" "$xvfb" 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 50); do [ -e "$work/tty" ] && break; sleep 0.1; done

# The board's port comes from the settings file, as a user's choice would.
printf '[Windows]\r\nMainX = 10\r\nMainY = 10\r\nMainW = 640\r\nMainH = 420\r\n[Micromite]\r\nComport = %s\r\nSerialSpeed = 115200\r\nDevice = micromite\r\n' \
  "$work/tty" >"$work/config/Pellimor.inf"
export DISPLAY=$display XDG_CONFIG_HOME=$work/config QT_SCALE_FACTOR=$scale
build/qt/frontends/qt/qz-uploader "$PWD/examples/demo.bas" >/dev/null 2>&1 &
uploader=$!
# The window uploads the file named on its command line at start, then runs it and
# collects the board's output for a few seconds; the picture is taken after that.
for _ in $(seq 100); do
  [ -s "$work/board/run-output.txt" ] && break
  sleep 0.1
done
sleep 4
import -window root "$out"
echo "$out"
