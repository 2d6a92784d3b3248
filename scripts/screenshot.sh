#!/bin/bash
# Starts Mailstow from the build's program folder in the build's Wine prefix under a
# virtual display, clicks Next the given number of times, and saves a screenshot.
#   scripts/screenshot.sh OUT.png [NEXT_CLICKS] [MAILSTOW ARGUMENTS...]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/windows-arch.sh
out="$(realpath -m "$1")"; clicks="${2:-0}"; shift 2 || shift $#
run="$PWD/$WIN_BUILD/wine-run.sh"
"$run" --boot
folder="$PWD/$WIN_BUILD/wine/template/drive_c/Mailstow"
mkdir -p "$folder"; cp -r "$WIN_BUILD"/dist/. "$folder/"
[ -f "$folder/Sqx.dll" ] || cp "$WIN_BUILD"/tests/e2e/stub_archiver.dll "$folder/Sqx.dll"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  "$3" "$4/Mailstow.exe" "${@:5}" & sleep 5
  for ((i = 0; i < $2; i++)); do xdotool key Return 2>/dev/null || true; sleep 1; done
  import -window root "$1"
  "$3" --kill' _ "$out" "$clicks" "$run" "$folder" "$@"
echo "$out"
