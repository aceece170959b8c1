#!/usr/bin/env bash
# Builds selvane2x and runs the demo host against it, then one Tarnwick
# operation as an installer runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
if ! log=$( { cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
              cmake --build build -j "$(nproc)" --target selvane2x demo_host tarnwick; } 2>&1); then
  echo "$log"
  exit 1
fi
./build/examples/demo_host
echo
echo "tarnwick -run -exe=/bin/sh '-prm=-c \"exit 3\"' -wait -checkexit"
./build/installer/tarnwick -run -exe=/bin/sh '-prm=-c "exit 3"' -wait -checkexit
echo
