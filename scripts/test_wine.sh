#!/usr/bin/env bash
# The Windows build under Wine and Xvfb, headless: builds the win32 preset (and the native
# simulated board), makes a fresh Wine prefix under build/, maps COM5 to the board's
# pseudo-terminal and runs the checks: an upload through the Win32 serial code with the
# headless program, the window's checks (controls, device changes, registry, upload with
# Cancel through the window), and the desktop program's settings file after a plain start
# and close, compared byte for byte with the default file.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
start=$(date +%s)

cmake --preset win32 >/dev/null
cmake --build --preset win32 -j2 --target qz-upload qz-uploader qz_win32_checks
# The board is a POSIX program: a small native build of it alone.
cmake -S . -B build/wine-board -DCMAKE_BUILD_TYPE=Release -DQZ_TESTS=OFF >/dev/null
cmake --build build/wine-board -j2 --target qz-board

work=$root/build/wine-run
rm -rf "$work"
mkdir -p "$work/app" "$work/store" "$work/drive"
export WINEPREFIX=$work/prefix WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
export WINEARCH=win64

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
board=
pinboard=
consoleboard=
cleanup() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  [ -n "$board" ] && kill "$board" 2>/dev/null || true
  [ -n "$pinboard" ] && kill "$pinboard" 2>/dev/null || true
  [ -n "$consoleboard" ] && kill "$consoleboard" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY=$display

echo "-- wine prefix"
wineboot -i >/dev/null 2>&1
wineserver -w
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true

echo "-- board"
build/wine-board/board/qz-board --store "$work/store" >"$work/board.out" 2>"$work/board.err" &
board=$!
for _ in $(seq 50); do [ -s "$work/board.out" ] && break; sleep 0.1; done
pty=$(head -n1 "$work/board.out")
echo "board on $pty"
wine reg add 'HKLM\Software\Wine\Ports' /v COM5 /t REG_SZ /d "$pty" /f >/dev/null 2>&1
# A second board, on COM6, that asks for a PIN.
build/wine-board/board/qz-board --pin 4321 --store "$work/pinstore" >"$work/pinboard.out" \
  2>"$work/pinboard.err" &
pinboard=$!
for _ in $(seq 50); do [ -s "$work/pinboard.out" ] && break; sleep 0.1; done
wine reg add 'HKLM\Software\Wine\Ports' /v COM6 /t REG_SZ /d "$(head -n1 "$work/pinboard.out")" \
  /f >/dev/null 2>&1
# A third board, on COM7, for the console: it is stopped and started again on the same port
# (its link), so it is reached through a link that outlives it.
start_console_board() {
  build/wine-board/board/qz-board --store "$work/consolestore" --link "$work/consoletty" \
    >"$work/consoleboard.out" 2>>"$work/consoleboard.err" &
  consoleboard=$!
  for _ in $(seq 50); do [ -e "$work/consoletty" ] && break; sleep 0.1; done
}
start_console_board
wine reg add 'HKLM\Software\Wine\Ports' /v COM7 /t REG_SZ /d "$work/consoletty" /f >/dev/null 2>&1
wineserver -k || true
wineserver -w
# The wineserver takes a board's terminal as its own and, when that board goes, lists its
# objects on its error output: that goes to a file rather than into the checks' report.
wineserver -p 2>"$work/wineserver.err"
# A drive letter for the firmware copy.
ln -s "$work/drive" "$WINEPREFIX/dosdevices/q:"

cp build/win32/frontends/cli/qz-upload.exe build/win32/frontends/win32/qz-uploader.exe \
  build/win32/frontends/win32/qz_win32_checks.exe "$work/app/"
winpath() { echo "Z:${1//\//\\}\\"; }
appdir=$(winpath "$work/app")
failed=0
run() {
  echo "-- $*"
  if ! (cd "$work/app" && timeout 120 wine "$@"); then
    echo "FAILED: $*"
    failed=1
  fi
}

printf '10 PRINT "hello from wine"\r\n20 PRINT 6*7\r\n' >"$work/app/hello.bas"
run qz-upload.exe --port COM5 --baud 115200 --device micromite hello.bas
if grep -q 'hello from wine' "$work/store/program.bas" 2>/dev/null; then
  echo "ok   the board stored the program sent through the Win32 serial code"
else
  echo "FAIL the board did not store the program"; failed=1
fi

# A file name outside the ANSI code page reaches the program whole (from the wide command
# line); Wine reads the Unix arguments in the locale's encoding.
printf '10 PRINT "unicode name"\r\n' >"$work/app/πρόγραμμα.bas"
LC_ALL=C.UTF-8 run qz-upload.exe --port COM5 --baud 115200 --device micromite πρόγραμμα.bas
if grep -q 'unicode name' "$work/store/program.bas" 2>/dev/null; then
  echo "ok   a program named in Greek was read and uploaded"
else
  echo "FAIL the program with a Greek name was not uploaded"; failed=1
fi

ports=$(cd "$work/app" && timeout 60 wine qz-upload.exe --list-ports | tr -d '\r')
echo "$ports"
if grep -qx 'COM5' <<<"$ports" && grep -qx 'COM6' <<<"$ports"; then
  echo "ok   --list-ports lists the two boards' ports"
else
  echo "FAIL --list-ports did not list COM5 and COM6"; failed=1
fi
# The console under Wine: piped keys reach the board and its answer is shown.
shown=$(cd "$work/app" && { printf 'print 6*7\r'; sleep 3; } |
  timeout 6 wine qz-upload.exe --port COM5 --baud 115200 --console 2>&1 | tr -d '\r' || true)
if grep -q '^42$' <<<"$shown"; then
  echo "ok   the console sent the keys and showed the board's answer"
else
  echo "FAIL the console did not show the answer: $shown"; failed=1
fi

# Fast mode goes through the Windows wait on the port (WaitCommEvent on an overlapped
# handle): a program and an XMODEM file, each stored whole.
for i in $(seq 200); do printf 's$ = "fast line %d"\r\n' "$i"; done >"$work/app/fast.bas"
head -c 20000 /dev/urandom >"$work/app/fast.bin"
run qz-upload.exe --fast --port COM5 --baud 115200 --device micromite fast.bas
if [ "$(tr -d '\r' <"$work/app/fast.bas")" = "$(cat "$work/store/program.bas" 2>/dev/null)" ]; then
  echo "ok   fast mode: the board stored every line"
else
  echo "FAIL fast mode: the board's program differs from what was sent"; failed=1
fi
run qz-upload.exe --fast --port COM5 --baud 115200 fast.bin
if cmp -s -n 20000 "$work/app/fast.bin" "$work/store/fast.bin"; then
  echo "ok   fast mode: the XMODEM file arrived whole"
else
  echo "FAIL fast mode: the XMODEM file differs"; failed=1
fi

run qz_win32_checks.exe registry COM5
run qz_win32_checks.exe controls "$appdir"
run qz_win32_checks.exe stored "$appdir"
run qz_win32_checks.exe devicechange "$appdir" Q
run qz_win32_checks.exe upload "$appdir" COM5 plain
run qz_win32_checks.exe upload "$appdir" COM5 cancel
run qz_win32_checks.exe missing "$appdir" com42
run qz_win32_checks.exe report "$appdir"
run qz_win32_checks.exe pin "$appdir" COM6
if grep -q 'behind a PIN' "$work/pinstore/program.bas" 2>/dev/null; then
  echo "ok   the board behind a PIN stored the program"
else
  echo "FAIL the board behind a PIN did not store the program"; failed=1
fi
for mode in pane-text pane-file; do
  rm -f "$work/store/program.bas"
  run qz_win32_checks.exe upload "$appdir" COM5 "$mode"
  if grep -q 'line 12"' "$work/store/program.bas" 2>/dev/null; then
    echo "ok   the board stored the program dropped on the log pane ($mode)"
  else
    echo "FAIL the board did not store the program dropped on the log pane ($mode)"; failed=1
  fi
done

# The window's console: the checks ask for the board to be restarted by creating a file.
echo "-- qz_win32_checks.exe console $appdir COM7"
rm -f "$work/app/restart-board.now"
(cd "$work/app" && timeout 120 wine qz_win32_checks.exe console "$appdir" COM7) &
checks=$!
while kill -0 "$checks" 2>/dev/null; do
  if [ -e "$work/app/restart-board.now" ]; then
    rm -f "$work/app/restart-board.now"
    kill "$consoleboard"; wait "$consoleboard" 2>/dev/null || true
    sleep 1
    start_console_board
  fi
  sleep 0.2
done
wait "$checks" || { echo "FAILED: qz_win32_checks.exe console"; failed=1; }
if grep -q 'stopped by Ctrl-C at INPUT' "$work/consoleboard.err"; then
  echo "ok   Ctrl-C typed in the log pane stopped the program at INPUT"
else
  echo "FAIL the board did not see Ctrl-C at INPUT"; failed=1
fi

echo "-- desktop program: start without settings, close, compare the settings file"
rm -f "$work/app/Pellimor.inf"
(cd "$work/app" && timeout 60 wine qz-uploader.exe) &
uploader=$!
run qz_win32_checks.exe close
wait "$uploader" || { echo "FAIL qz-uploader.exe did not end"; failed=1; }
printf '\xef\xbb\xbf\r\n[Windows]\r\n; Main Window\r\nMainX = 200\r\nMainY = 200\r\nMainW = 468\r\nMainH = 287\r\n\r\n[Micromite]\r\nComport = not set\r\nSerialSpeed = 38400\r\nDevice = micromite\r\nPicoPort = not set\r\nLineDelay = 120\r\nMaximum com port = 32\r\n\r\n[General]\r\nTextTypes = bas txt inc\r\n\r\n[myDeviceList]\r\nLastUsed = 0\r\nDevice0 = Manual entry\r\n' >"$work/default.inf"
# A first start opens the window as wide as its controls need (measured in the font), so
# the width is compared apart from the rest.
width=$(sed -n 's/^MainW = \([0-9]*\)\r$/\1/p' "$work/app/Pellimor.inf")
if [ "${width:-0}" -ge 530 ] &&
  cmp "$work/default.inf" <(sed "s/^MainW = $width\r\$/MainW = 468\r/" "$work/app/Pellimor.inf"); then
  echo "ok   default settings file written byte for byte (first-start width $width)"
else
  echo "FAIL settings file differs"; failed=1
fi

echo "wine checks took $(($(date +%s) - start)) s"
exit $failed
