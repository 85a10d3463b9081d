#!/usr/bin/env bash
# Configures and builds into ./build (or $BUILD_DIR) with any extra CMake arguments given.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} "$@" > "$build_dir.cmake.log" 2>&1 || {
  cat "$build_dir.cmake.log"; exit 1; }
cmake --build "$build_dir" -j"${JOBS:-2}"
