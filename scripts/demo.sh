#!/usr/bin/env bash
# Builds selvane2x and runs the demo host against it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
if ! log=$( { cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
              cmake --build build -j "$(nproc)" --target selvane2x demo_host; } 2>&1); then
  echo "$log"
  exit 1
fi
./build/examples/demo_host
