#!/usr/bin/env bash
# Installs what is missing, builds and starts Mavlor.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target mavlor
exec ./build/src/app/mavlor "$@"
