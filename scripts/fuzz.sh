#!/usr/bin/env bash
# Builds the fuzz targets with clang into ./build-fuzz and runs each for the given number of
# seconds (default 60) on a small corpus seeded from data/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build_dir=${FUZZ_BUILD_DIR:-build-fuzz}

cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DMIRT_FUZZ=ON -DMIRT_BENCHMARKS=OFF > "$build_dir.cmake.log" 2>&1 || {
  cat "$build_dir.cmake.log"; exit 1; }

# One line per target: name, then the seed files copied into its corpus as they are.
targets=(
  "description_parser_fuzzer"
  "inf_file_fuzzer data/inf/*.INF"
)
for entry in "${targets[@]}"; do
  cmake --build "$build_dir" -j"${JOBS:-2}" --target "${entry%% *}"
done

# Seeds: each shipped description (selector byte 0: the bytes are the description file) and the
# sample settings file (selector byte 1: the bytes are "Mirt.def").
corpus="$build_dir/fuzz-corpus"
mkdir -p "$corpus"
for dsc in data/*.dsc; do
  { printf '\000'; cat "$dsc"; } > "$corpus/seed-$(basename "$dsc")"
done
{ printf '\001'; cat data/Mirt.def; } > "$corpus/seed-Mirt.def"

# Runs one target on its corpus for the fixed time.
run_target() {
  local name=$1 corpus=$2 log="$build_dir/$1.log"
  if ! "$build_dir/bin/$name" -max_total_time="$seconds" -max_len=65536 \
       -artifact_prefix="$build_dir/$name-" -print_final_stats=1 "$corpus" > "$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz: $name failure (artifacts in $build_dir)"
    exit 1
  fi
  tail -n 12 "$log"
}

run_target description_parser_fuzzer "$corpus"
for entry in "${targets[@]:1}"; do
  read -r name seeds <<< "$entry"
  mkdir -p "$build_dir/corpus-$name"
  for seed in $seeds; do cp "$seed" "$build_dir/corpus-$name/"; done
  run_target "$name" "$build_dir/corpus-$name"
done
