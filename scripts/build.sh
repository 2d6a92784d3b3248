#!/bin/bash
# Builds the Windows programs (build/win) and the native sanitizer build of the
# portable code (build/native). Pass "fuzz" to also build the libFuzzer targets (build/fuzz).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw32.cmake >/dev/null
cmake --build build/win
cmake -S . -B build/native -G Ninja >/dev/null
cmake --build build/native
if [ "${1:-}" = fuzz ]; then
  CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DMAILSTOW_FUZZ=ON -DMAILSTOW_SANITIZE=OFF >/dev/null
  cmake --build build/fuzz
fi
