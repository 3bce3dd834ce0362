#!/usr/bin/env bash
# Sets up, builds and starts Melodeck.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMELODECK_BUILD_TESTS=OFF -DMELODECK_BUILD_BENCH=OFF
cmake --build build
if [ -x build/bin/melodeck ]; then
  exec build/bin/melodeck "$@"
else
  echo "Built. The melodeck program itself is not part of the build yet."
fi
