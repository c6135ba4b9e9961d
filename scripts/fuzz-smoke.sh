#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each briefly, so that a parser change
# that crashes on the seed corpus or on a minute of mutations fails the run.
# Usage: scripts/fuzz-smoke.sh [SECONDS_FOR_THE_REPAIR_ENGINE] [SECONDS_FOR_THE_CUE_PARSER]
set -euo pipefail
cd "$(dirname "$0")/.."
engine_seconds=${1:-60}
cue_seconds=${2:-30}

cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DMAVLOR_FUZZ=ON -DMAVLOR_TESTS=OFF -DMAVLOR_BENCH=OFF >/dev/null
cmake --build build-fuzz --target fuzz_vbrrepair fuzz_cuesheetparser

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
run() {
  local name=$1 seconds=$2 corpus=$3 max_len=$4
  mkdir -p "$work/$name"
  echo "fuzzing $name for ${seconds}s"
  "build-fuzz/fuzz/${name#fuzz_}/$name" -max_total_time="$seconds" -max_len="$max_len" \
    -timeout=10 -print_final_stats=1 -artifact_prefix="$work/" "$work/$name" "$corpus" \
    >"$work/$name.log" 2>&1 || { tail -n 60 "$work/$name.log"; echo "$name found a fault"; exit 1; }
  grep -E "stat::number_of_executed_units|Done" "$work/$name.log" | tail -n 2
}
run fuzz_vbrrepair "$engine_seconds" fuzz/vbrrepair/corpus 8192
run fuzz_cuesheetparser "$cue_seconds" fuzz/cue/corpus 4096
