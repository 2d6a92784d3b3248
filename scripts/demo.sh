#!/bin/bash
# Installs what is needed, builds Mailstow and starts it under Wine in a demo Wine prefix
# (build/demo). Without a display it runs under a virtual one, saves a screenshot of the
# window and closes it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
demo="$PWD/build/demo"
program="$demo/prefix/drive_c/Program Files/Mailstow"
export WINEPREFIX="$demo/prefix" HOME="$demo/home" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win32
mkdir -p "$HOME"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Preparing the demo Wine prefix (about 20 s)..."
  if [ -n "${DISPLAY:-}" ]; then wineboot -i >/dev/null 2>&1; else xvfb-run -a wineboot -i >/dev/null 2>&1; fi
  wineserver -w
fi
if [ -x build/win/tools/make_world.exe ]; then
  wine build/win/tools/make_world.exe --demo >/dev/null 2>&1 || true
fi
wineserver -k 2>/dev/null || true
mkdir -p "$program"
cp -r build/win/dist/. "$program/"
if [ -n "${DISPLAY:-}" ]; then
  exec wine "$program/Mailstow.exe"
fi
shot="$PWD/build/demo/mailstow.png"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  wine "$1/Mailstow.exe" &
  # Wait until the window has been painted (the screen is more than one colour).
  for i in $(seq 60); do
    sleep 1
    import -window root "$2"
    [ "$(convert "$2" -format %k info:)" -gt 8 ] && break
  done
  wineserver -k' _ "$program" "$shot"
echo "No display here: Mailstow ran under a virtual display; its window is in $shot"
