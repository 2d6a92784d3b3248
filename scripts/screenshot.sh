#!/bin/bash
# Starts Mailstow from the build's program folder in the build's Wine prefix under a
# virtual display, clicks Next the given number of times, and saves a screenshot.
#   scripts/screenshot.sh OUT.png [NEXT_CLICKS] [MAILSTOW ARGUMENTS...]
set -euo pipefail
cd "$(dirname "$0")/.."
out="$(realpath -m "$1")"; clicks="${2:-0}"; shift 2 || shift $#
build/win/wine-run.sh --boot
export WINEPREFIX="$PWD/build/win/wine/template" HOME="$PWD/build/win/wine/template/home"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
folder="$WINEPREFIX/drive_c/Mailstow"
mkdir -p "$folder"; cp -r build/win/dist/. "$folder/"
[ -f "$folder/Sqx.dll" ] || cp build/win/tests/e2e/stub_archiver.dll "$folder/Sqx.dll"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  wine "C:\\Mailstow\\Mailstow.exe" "${@:3}" & sleep 5
  for ((i = 0; i < $2; i++)); do xdotool key Return 2>/dev/null || true; sleep 1; done
  import -window root "$1"
  wineserver -k' _ "$out" "$clicks" "$@"
echo "$out"
