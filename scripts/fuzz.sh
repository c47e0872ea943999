#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer (the "fuzz" preset) and runs one of them
# for a chosen time, starting from its seed corpus; new inputs go to build-fuzz/corpus/NAME.
#   scripts/fuzz.sh NAME [SECONDS]      e.g. scripts/fuzz.sh evaluator 600
set -euo pipefail
cd "$(dirname "$0")/.."
name=${1:?usage: scripts/fuzz.sh NAME [SECONDS]}
seconds=${2:-60}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)" --target "fuzz_${name}"
mkdir -p "build-fuzz/corpus/${name}"
"build-fuzz/bin/fuzz_${name}" -max_total_time="${seconds}" -print_final_stats=1 \
  "build-fuzz/corpus/${name}" "tests/fuzz/${name}"
