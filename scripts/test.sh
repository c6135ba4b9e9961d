#!/usr/bin/env bash
# Installs what is missing, builds everything, fuzzes the parsers briefly and runs every
# test through CTest. Set MAVLOR_SKIP_FUZZ=1 to leave out the fuzzing.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
if [ "${MAVLOR_SKIP_FUZZ:-0}" != 1 ]; then
  bash scripts/fuzz-smoke.sh 60 30
fi
cd build
ctest --output-on-failure --no-tests=error -j2 "$@"
