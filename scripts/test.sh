#!/usr/bin/env bash
# Sets up, builds and runs every test: the normal build, the sanitizer build
# (ASan + UBSan) and a bounded fuzz run of the container reader.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

jobs=$(nproc)

# Tests never see the real desktop session: no display, no sound card, and
# private runtime, config and data directories.
sandbox=$(mktemp -d)
trap 'rm -rf "$sandbox"' EXIT
mkdir -p "$sandbox"/{runtime,config,data,cache}
chmod 700 "$sandbox/runtime"
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
export XDG_RUNTIME_DIR="$sandbox/runtime" XDG_CONFIG_HOME="$sandbox/config"
export XDG_DATA_HOME="$sandbox/data" XDG_CACHE_HOME="$sandbox/cache"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$sandbox/runtime/no-bus"
unset DISPLAY WAYLAND_DISPLAY
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
