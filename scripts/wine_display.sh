# Sourced by the scripts that show the Windows programs under Wine (not run on its own).
# start_wine WORK: a fresh Wine prefix in WORK/prefix and an Xvfb display for it, both ended
# (with the process in $board, if any) when the script exits.
# wine_com_port NAME PATH: the serial port NAME (COM5) is the pseudo-terminal PATH, once Wine
# has started again and lists it among the system's serial ports.
start_wine() {
  export WINEPREFIX=$1/prefix WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all WINEARCH=win64
  local display=:$((90 + RANDOM % 100))
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  board=
  trap 'wineserver -k 2>/dev/null || true; wineserver -w 2>/dev/null || true; kill $board $xvfb 2>/dev/null || true' EXIT
  export DISPLAY=$display
  wineboot -i >/dev/null 2>&1
  wineserver -w
  # No window manager: windows close at once instead of after about two seconds.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  # Caption buttons need Marlett, which the prefix lacks.
  cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
}

wine_com_port() {
  wine reg add 'HKLM\Software\Wine\Ports' /v "$1" /t REG_SZ /d "$2" /f >/dev/null 2>&1
  wineserver -k || true
  wineserver -w
  wineserver -p 2>/dev/null || true
  for _ in $(seq 50); do
    wine reg query 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' 2>/dev/null | grep -q "$1" && break
    sleep 0.2
  done
}
