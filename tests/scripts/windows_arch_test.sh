#!/bin/bash
# The scripts' choice of Windows build: i686 where the 32-bit Wine loader starts, x86_64 where
# it does not, and whatever MAILSTOW_WIN_ARCH forces. The loader is replaced by a program that
# starts (true) or fails as on a machine without 32-bit support (false).
set -uo pipefail
probe="$1/scripts/windows-arch.sh"
failures=0
check() {  # expected-arch expected-build loader forced
  local got
  got=$(env -u MAILSTOW_WIN_ARCH MAILSTOW_WINE32_LOADER="$3" ${4:+MAILSTOW_WIN_ARCH=$4} \
    bash -c 'source "$1" && echo "$WIN_ARCH $WIN_BUILD"' _ "$probe")
  if [ "$got" != "$1 $2" ]; then
    echo "loader $3, forced '${4:-}': got '$got', expected '$1 $2'"
    failures=$((failures + 1))
  fi
}
check i686 build/win /bin/true ""
check x86_64 build/win64 /bin/false ""
check x86_64 build/win64 /nonexistent/wine ""
check x86_64 build/win64 /bin/true x86_64
check i686 build/win /bin/false i686
if MAILSTOW_WIN_ARCH=arm bash -c 'source "$1"' _ "$probe" 2>/dev/null; then
  echo "an unknown architecture was accepted"
  failures=$((failures + 1))
fi
exit $((failures > 0))
