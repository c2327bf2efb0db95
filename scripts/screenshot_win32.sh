#!/usr/bin/env bash
# A screenshot of the Windows program's window under Wine and Xvfb, with a few log lines,
# written to build/wine-shot/qz-uploader.png (or the path given).
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-$PWD/build/wine-shot/qz-uploader.png}
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j2 --target qz-uploader qz_win32_checks >/dev/null
work=$PWD/build/wine-shot
rm -rf "$work/prefix" "$work/app"
mkdir -p "$work/app" "$(dirname "$out")"
export WINEPREFIX=$work/prefix WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all WINEARCH=win64
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'wineserver -k 2>/dev/null || true; wineserver -w 2>/dev/null || true; kill $xvfb 2>/dev/null || true' EXIT
export DISPLAY=$display
wineboot -i >/dev/null 2>&1
wineserver -w
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
cp build/win32/frontends/win32/qz-uploader.exe build/win32/frontends/win32/qz_win32_checks.exe \
  "$work/app/"
# The program uploads the file named on its command line at start; with no port chosen it
# logs how to go on, which gives the log pane something to show.
printf '10 PRINT "hello"\r\n' >"$work/app/hello.bas"
(cd "$work/app" && wine qz-uploader.exe hello.bas) &
uploader=$!
sleep 5
import -window root "$out"
(cd "$work/app" && wine qz_win32_checks.exe close >/dev/null)
wait "$uploader" || true
echo "$out"
