#!/usr/bin/env bash
# Builds selvane2x and runs the demo host against it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target selvane2x demo_host
./build/examples/demo_host
