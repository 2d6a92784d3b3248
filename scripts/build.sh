#!/bin/bash
# Builds the Windows programs (build/win for i686, build/win64 for x86_64: the architecture
# this machine can run, see windows-arch.sh) and the native sanitizer build of the portable
# code (build/native). Pass "fuzz" to also build the libFuzzer targets (build/fuzz), or
# "--windows TARGET..." to build only those targets of the Windows build.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/windows-arch.sh
# ccache, where installed, shares compiled objects between build folders and checkouts.
launcher=()
export CCACHE_BASEDIR="$PWD"
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$WIN_BUILD" -G Ninja -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-$WIN_ARCH.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" "${launcher[@]}" >/dev/null
if [ "${1:-}" = --windows ]; then
  cmake --build "$WIN_BUILD" --target "${@:2}"
  exit 0
fi
cmake --build "$WIN_BUILD"
cmake -S . -B build/native -G Ninja "${launcher[@]}" >/dev/null
cmake --build build/native
if [ "${1:-}" = fuzz ]; then
  CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DMAILSTOW_FUZZ=ON -DMAILSTOW_SANITIZE=OFF "${launcher[@]}" >/dev/null
  # Only the fuzz targets (and the seed generator) are built here; the rest is built above.
  mapfile -t fuzz_targets < <(ninja -C build/fuzz -t targets all |
    sed -n 's/^\([A-Za-z0-9_]*\): phony$/\1/p' | grep -E '^[a-z0-9_]+_fuzz(_seeds)?$' | grep -v '^cmake_' | sort -u)
  cmake --build build/fuzz --target "${fuzz_targets[@]}"
fi
