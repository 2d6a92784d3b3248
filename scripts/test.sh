#!/bin/bash
# Installs what is needed, builds everything and runs every test: the native tests under
# AddressSanitizer and UBSan, the Windows tests under Wine with a virtual X display, and
# each fuzz target for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
source scripts/windows-arch.sh
echo "Windows build tested: $WIN_ARCH ($WIN_ARCH_REASON)"
export MAILSTOW_WIN_ARCH="$WIN_ARCH"
scripts/build.sh fuzz
# The shipped build is i686. Where it cannot run, it is still compiled, so that nothing that
# only the 32-bit compiler rejects (a callback without its calling convention) goes unseen.
if [ "$WIN_ARCH" != i686 ]; then
  echo "Also compiling the shipped i686 build (not run here)"
  MAILSTOW_WIN_ARCH=i686 scripts/build.sh
fi
status=0
(cd build/native && ctest --output-on-failure -j2) || status=1
(cd build/fuzz && ctest --output-on-failure -j2 -L fuzz) || status=1
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c 'cd "$1" && ctest --output-on-failure -j4 -LE large' _ "$WIN_BUILD" || status=1
echo "Windows build tested: $WIN_ARCH ($WIN_ARCH_REASON)"
exit $status
