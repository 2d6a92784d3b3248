#!/bin/bash
# Installs what is needed, builds Mailstow and starts it under Wine in a demo Wine prefix
# (build/demo). Without a display it runs under a virtual one, saves a screenshot of the
# window and closes it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
source scripts/windows-arch.sh
echo "Windows build used: $WIN_ARCH ($WIN_ARCH_REASON)"
export MAILSTOW_WIN_ARCH="$WIN_ARCH"
scripts/build.sh
demo="$PWD/build/demo"
prefix="$demo/prefix-$WIN_ARCH"
run="$PWD/$WIN_BUILD/wine-run.sh"
program="$prefix/drive_c/Program Files/Mailstow"
mkdir -p "$demo"
if [ ! -f "$prefix/.ready" ]; then
  echo "Preparing the demo Wine prefix (about 20 s)..."
  "$run" --boot --prefix "$prefix"
fi
if [ -f "$WIN_BUILD/tools/make_world.exe" ]; then
  "$run" --prefix "$prefix" "$WIN_BUILD/tools/make_world.exe" --demo >/dev/null 2>&1 || true
fi
"$run" --kill --prefix "$prefix"
mkdir -p "$program"
cp -r "$WIN_BUILD"/dist/. "$program/"
if [ -n "${DISPLAY:-}" ]; then
  exec "$run" --prefix "$prefix" "$program/Mailstow.exe"
fi
shot="$demo/mailstow.png"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  "$1" --prefix "$2" "$3/Mailstow.exe" &
  # Wait until the window has been painted (the screen is more than one colour).
  for i in $(seq 60); do
    sleep 1
    import -window root "$4"
    [ "$(convert "$4" -format %k info:)" -gt 8 ] && break
  done
  "$1" --kill --prefix "$2"' _ "$run" "$prefix" "$program" "$shot"
echo "No display here: Mailstow ran under a virtual display; its window is in $shot"
