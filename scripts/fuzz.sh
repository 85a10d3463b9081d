#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into ./build-fuzz and runs each for the given number of
# seconds (default 30), from a seed corpus made of the shipped files in data/ where the target
# reads one of them, else of small hand-made files of the target's format.
#
#   scripts/fuzz.sh [seconds-per-target] [target ...]     (no targets: all of them)
#
# A target is one line of TARGETS; its seeds come from a function seeds_<target> when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
shift || true
build_dir=${FUZZ_BUILD_DIR:-build-fuzz}

TARGETS=(
  description_parser_fuzzer   # the scanner description and "Mirt.def"
  scan_settings_fuzzer        # "Mirt.ini"
  gamma_file_fuzzer           # gamma files
  calibration_files_fuzzer    # "cr.dat" with "BlackFINE.PXL"
  work_file_fuzzer            # the ".pxl" work-file header and lines
  device_reply_fuzzer         # register reads and data-port answers of the controller
  inf_file_fuzzer             # the installer's INF files
  sane_options_fuzzer         # the SANE backend's option handling
)
[ $# -gt 0 ] && TARGETS=("$@")

# --- Seeds: each function writes files into the corpus directory given as $1 -----------------
seeds_description_parser_fuzzer() {  # selector byte 0: a description; 1: "Mirt.def"
  for dsc in data/*.dsc; do { printf '\000'; cat "$dsc"; } > "$1/seed-$(basename "$dsc")"; done
  { printf '\001'; cat data/Mirt.def; } > "$1/seed-Mirt.def"
}
seeds_scan_settings_fuzzer() {
  printf '[Scan Settings]\nscanRect.Left=0\nscanRect.right=1700\nscanRect.top=0\nscanRect.bottom=2200\nres=0\npixelType=2\nbitDepth=8\nimageWidth=1700\nimageHeight=2200\n' > "$1/seed-letter.ini"
  printf '[Scan Settings]\nres=1\npixelType=0\nbitDepth=1\nimageWidth300=2550\nimageHeight300=3300\n' > "$1/seed-300.ini"
}
seeds_gamma_file_fuzzer() {  # a full table of each channel and a short one
  { for c in red green blue; do
      printf ';Gamma Data (%s)\n' "$c"; awk 'BEGIN { for (i = 0; i < 4096; i += 37) printf "%X\t%X\n", i, i / 16; printf "FFF\tFF\n" }'
    done; } > "$1/seed-full.gam"
  { printf ';Gamma Data (red)\n'; awk 'BEGIN { for (i = 0; i < 1024; i += 64) printf "%x\t%x\n", i, i / 4 }'; } > "$1/seed-short.gam"
}
seeds_calibration_files_fuzzer() {  # black file length (2 bytes), start pixel (2 bytes), black file, cr.dat
  local header='v2\n1680\n0.00\n0\n4\n4\n100\n200\n200\n2\n'
  { printf '\x41\x0d\x96\x00'; printf "$header"; head -c 3360 /dev/zero; printf 'v2\n\x90\x06\x00\x00'; head -c 10080 /dev/zero | tr '\0' '@'; } > "$1/seed-neutral"
}
seeds_work_file_fuzzer() {  # selector, line counts, then the file
  local header='v2\n64\n0.00\n0\n4\n4\n3\n200\n200\n2\n'
  for selector in '\x00' '\x01' '\x06' '\x16'; do
    { printf "$selector"'\x30'; printf "$header"; head -c 400 /dev/urandom; } > "$1/seed-$(printf '%s' "$selector" | tr -d '\\')"
  done
}
seeds_inf_file_fuzzer() {  # the installer's own INF files
  cp data/inf/*.INF "$1/"
}
seeds_sane_options_fuzzer() {  # (option, action, length, value) calls: mode Lineart, resolution 300, br-y 100 mm
  printf '\002\001\010Lineart\000' > "$1/seed-lineart"
  printf '\003\001\004\054\001\000\000' > "$1/seed-300"
  printf '\013\001\004\000\000\144\000\006\001\004\000\000\062\000' > "$1/seed-area"
}
seeds_device_reply_fuzzer() {  # flow byte (0 page, 1 calibration), then the controller's script
  printf '\000' > "$1/seed-page"
  printf '\001' > "$1/seed-calibration"
  { printf '\000\001\001\000\001\377\037'; head -c 8191 /dev/urandom; } > "$1/seed-page-data"
}

# --- Build and run ----------------------------------------------------------------------------
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DMIRT_FUZZ=ON -DMIRT_BENCHMARKS=OFF > "$build_dir.cmake.log" 2>&1 || {
  cat "$build_dir.cmake.log"; exit 1; }
cmake --build "$build_dir" -j"${JOBS:-2}" --target "${TARGETS[@]}"

failed=0
for target in "${TARGETS[@]}"; do
  corpus="$build_dir/fuzz-corpus/$target"
  mkdir -p "$corpus"
  if declare -F "seeds_$target" > /dev/null; then "seeds_$target" "$corpus"; fi
  log="$build_dir/$target.log"
  echo "== $target (${seconds} s)"
  if "$build_dir/bin/$target" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 -timeout=25 \
       -artifact_prefix="$build_dir/$target-" -print_final_stats=1 "$corpus" > "$log" 2>&1; then
    grep -E 'DONE' "$log" | tail -n 1
  else
    tail -n 60 "$log"
    echo "fuzz: $target failed (artifacts in $build_dir)"
    failed=1
  fi
done
exit "$failed"
