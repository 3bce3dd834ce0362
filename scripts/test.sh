#!/usr/bin/env bash
# Sets up, builds and runs every test: the normal build, the sanitizer build
# (ASan + UBSan) and a bounded fuzz run of the container reader.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

jobs=$(nproc)

# Tests never see the real desktop session (see sandbox.sh).
source scripts/sandbox.sh
fuzz_seconds=${MELODECK_FUZZ_SECONDS:-60}

echo "== build: release with warnings as errors"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMELODECK_BUILD_TESTS=ON -DMELODECK_BUILD_BENCH=ON
cmake --build build -j "$jobs"
echo "== tests: release"
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== build: address and undefined-behaviour sanitizers"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMELODECK_SANITIZE=ON -DMELODECK_BUILD_TESTS=ON -DMELODECK_BUILD_BENCH=OFF
cmake --build build-asan -j "$jobs"
echo "== tests: sanitizers"
ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== fuzz: container reader for ${fuzz_seconds}s"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMELODECK_FUZZ=ON
cmake --build build-fuzz -j "$jobs"
bash tests/fuzz/run.sh build-fuzz "$fuzz_seconds"
