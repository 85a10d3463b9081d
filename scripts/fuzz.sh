#!/usr/bin/env bash
# Builds the description parser fuzzer with clang into ./build-fuzz and runs it for the given
# number of seconds (default 60) on a small corpus seeded from data/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build_dir=${FUZZ_BUILD_DIR:-build-fuzz}

cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DMIRT_FUZZ=ON -DMIRT_BENCHMARKS=OFF > "$build_dir.cmake.log" 2>&1 || {
  cat "$build_dir.cmake.log"; exit 1; }
cmake --build "$build_dir" -j"${JOBS:-2}" --target description_parser_fuzzer

# Seeds: each shipped description (selector byte 0: the bytes are the description file) and the
# sample settings file (selector byte 1: the bytes are "Mirt.def").
corpus="$build_dir/fuzz-corpus"
mkdir -p "$corpus"
for dsc in data/*.dsc; do
  { printf '\000'; cat "$dsc"; } > "$corpus/seed-$(basename "$dsc")"
done
{ printf '\001'; cat data/Mirt.def; } > "$corpus/seed-Mirt.def"

log="$build_dir/fuzz.log"
if ! "$build_dir/bin/description_parser_fuzzer" -max_total_time="$seconds" -max_len=65536 \
     -artifact_prefix="$build_dir/" -print_final_stats=1 "$corpus" > "$log" 2>&1; then
  tail -n 60 "$log"
  echo "fuzz: failure (artifacts in $build_dir)"
  exit 1
fi
tail -n 12 "$log"
