#!/usr/bin/env bash
# Configures and builds into ./build (or $BUILD_DIR) with any extra CMake arguments given.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
# ccache, where present, lets several checkouts and rebuilds share compiled objects.
launcher=()
if command -v ccache > /dev/null; then
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(cd .. && pwd)} CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} "${launcher[@]}" "$@" > "$build_dir.cmake.log" 2>&1 || {
  cat "$build_dir.cmake.log"; exit 1; }
cmake --build "$build_dir" -j"${JOBS:-2}"
