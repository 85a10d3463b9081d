#!/usr/bin/env bash
# Cross-builds the system for Windows with MinGW-w64: build-win32/ (i686, the primary target)
# and build-win64/ (x86_64), or only those named (win32, win64). Extra arguments go to CMake.
# WINDOWS_TARGETS="Ordavel Pimlet ..." builds only those targets (CI's 64-bit build: the
# deliverables and the programs its wine checks run). Needs the packages scripts/setup-debian.sh
# installs.
set -euo pipefail
cd "$(dirname "$0")/.."
targets=()
while [ $# -gt 0 ] && { [ "$1" = win32 ] || [ "$1" = win64 ]; }; do targets+=("$1"); shift; done
[ ${#targets[@]} -gt 0 ] || targets=(win32 win64)
launcher=()
if command -v ccache > /dev/null; then
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(cd .. && pwd)} CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
for target in "${targets[@]}"; do
  case $target in
    win32) triplet=i686-w64-mingw32 ;;
    win64) triplet=x86_64-w64-mingw32 ;;
  esac
  dir=build-$target
  cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/$triplet.cmake \
    -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} -DMIRT_BENCHMARKS=OFF -DMIRT_WERROR=ON \
    "${launcher[@]}" "$@" > "$dir.cmake.log" 2>&1 || { cat "$dir.cmake.log"; exit 1; }
  if [ -n "${WINDOWS_TARGETS:-}" ]; then
    # shellcheck disable=SC2086  # a list of target names
    cmake --build "$dir" -j"${JOBS:-2}" --target $WINDOWS_TARGETS
  else
    cmake --build "$dir" -j"${JOBS:-2}"
  fi
done
