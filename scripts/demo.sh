#!/bin/bash
# Installs what is needed, builds the programs the demonstration runs (Mailstow, Stowclock, the
# archiver library, the synthetic-world tool and the wizard walk) and shows Mailstow's backup
# wizard in a demo Wine prefix (build/demo) that holds a small synthetic world of every mail
# client: the walk goes from the welcome page to the client page and on to the chosen client's
# identities and items, under a virtual display, and saves a picture of each. With a display,
# the wizard then opens on it for you to try.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS
scripts/install-deps.sh
source scripts/windows-arch.sh
echo "Windows build used: $WIN_ARCH ($WIN_ARCH_REASON)"
export MAILSTOW_WIN_ARCH="$WIN_ARCH"
scripts/build.sh --windows Mailstow Stowclock Sqx make_world demo_tour
demo="$PWD/build/demo"
pictures="$demo/pictures"
prefix="$demo/prefix-$WIN_ARCH"
run="$PWD/$WIN_BUILD/wine-run.sh"
program="$prefix/drive_c/Program Files/Mailstow"
mkdir -p "$demo"
if [ ! -f "$prefix/.ready" ]; then
  echo "Preparing the demo Wine prefix (about 20 s)..."
  "$run" --boot --prefix "$prefix"
fi
if [ ! -f "$prefix/.world" ]; then
  echo "Installing a synthetic world of mail clients into it..."
  if ! "$run" --prefix "$prefix" "$WIN_BUILD/tools/make_world.exe" --demo >"$demo/make_world.log" 2>&1; then
    echo "demo.sh: the world could not be installed; see $demo/make_world.log" >&2
    exit 1
  fi
  touch "$prefix/.world"
fi
"$run" --kill --prefix "$prefix"
mkdir -p "$program"
cp -r "$WIN_BUILD"/dist/. "$program/"
rm -rf "$pictures"
mkdir -p "$pictures"
echo "Walking through the wizard..."
# Wine's own processes end before the virtual display does, so that none of them reports the
# display gone.
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  status=0
  "$1" --prefix "$2" "$3" "C:\Program Files\Mailstow" "$4" || status=$?
  "$1" --kill --prefix "$2"
  exit $status' _ "$run" "$prefix" "$WIN_BUILD/tools/demo_tour.exe" "Z:${pictures//\//\\}"
# The screen pictures, cut to the wizard's window.
for picture in "$pictures"/*.bmp; do
  convert "$picture" -trim +repage "${picture%.bmp}.png"
  rm "$picture"
done
echo "Pictures of the wizard ($((SECONDS - started)) s after the start of demo.sh):"
printf '  %s\n' "$pictures"/*.png
if [ -n "${DISPLAY:-}" ]; then
  echo "Opening the wizard on your display."
  exec "$run" --prefix "$prefix" "$program/Mailstow.exe"
fi
