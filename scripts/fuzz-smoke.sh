#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each briefly, so that a parser change
# that crashes on the seed corpus or on a minute of mutations fails the run.
# Usage: scripts/fuzz-smoke.sh [SECONDS_FOR_THE_REPAIR_ENGINE] [SECONDS_FOR_EACH_OTHER_PARSER]
set -euo pipefail
cd "$(dirname "$0")/.."
engine_seconds=${1:-60}
other_seconds=${2:-30}

cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DMAVLOR_FUZZ=ON -DMAVLOR_TESTS=OFF -DMAVLOR_BENCH=OFF >/dev/null
cmake --build build-fuzz --target fuzz_vbrrepair fuzz_cheapmp3 fuzz_cuesheetparser

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
run() {
  local folder=$1 name=$2 seconds=$3 max_len=$4
  local corpus=fuzz/$folder/corpus
  mkdir -p "$work/$name"
  echo "fuzzing $name for ${seconds}s"
  "build-fuzz/fuzz/$folder/$name" -max_total_time="$seconds" -max_len="$max_len" \
    -timeout=10 -print_final_stats=1 -artifact_prefix="$work/" "$work/$name" "$corpus" \
    >"$work/$name.log" 2>&1 || { tail -n 60 "$work/$name.log"; echo "$name found a fault"; exit 1; }
  grep -E "stat::number_of_executed_units|Done" "$work/$name.log" | tail -n 2
}
run vbrrepair fuzz_vbrrepair "$engine_seconds" 8192
run mp3 fuzz_cheapmp3 "$other_seconds" 8192
run cue fuzz_cuesheetparser "$other_seconds" 4096

# --- freedb: search answer and disc entry parsers ---
cmake --build build-fuzz --target fuzz_freedb
run freedb fuzz_freedb "$other_seconds" 4096
# --- end freedb ---

# --- musicbrainz: search and release answers ---
cmake --build build-fuzz --target fuzz_musicbrainz
run musicbrainz fuzz_musicbrainz "$other_seconds" 8192
# --- end musicbrainz ---
