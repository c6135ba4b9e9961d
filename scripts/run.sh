#!/usr/bin/env bash
# Installs what is missing, builds Mavlor and mavlor-cli and starts Mavlor.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target mavlor mavlor-cli
exec ./build/src/app/mavlor "$@"
