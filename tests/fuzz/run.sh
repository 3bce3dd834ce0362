#!/usr/bin/env bash
# Runs the container fuzzer for a bounded time: run.sh BUILD_DIR SECONDS
# BUILD_DIR is a fuzz build (CC=clang CXX=clang++ -DMELODECK_FUZZ=ON) in which
# azpack_fuzz_restore has been built. Exits non-zero on any crash.
set -euo pipefail
if [ $# -ne 2 ]; then
  echo "usage: $0 BUILD_DIR SECONDS" >&2
  exit 2
fi
build=$1
seconds=$2
fuzzer="$build/bin/azpack_fuzz_restore"
if [ ! -x "$fuzzer" ]; then
  echo "fuzz: $fuzzer is missing; build the fuzz configuration first" >&2
  exit 1
fi

# Every input goes through two files: a memory file system is much faster.
scratch=${TMPDIR:-/tmp}
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
  scratch=/dev/shm
fi
work=$(mktemp -d "$scratch/azpack-fuzz-run-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$work/tmp" "$work/artifacts"

# Seed corpus: valid containers written by the fuzzer binary itself.
AZPACK_FUZZ_WRITE_SEEDS="$work/corpus" "$fuzzer"
echo "fuzz: $(ls "$work/corpus" | wc -l) seed containers, running for ${seconds}s"

status=0
TMPDIR="$work/tmp" \
ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1:malloc_limit_mb=1024" \
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
  "$fuzzer" "$work/corpus" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$work/artifacts/" -print_final_stats=1 || status=$?

if [ "$status" -ne 0 ] || [ -n "$(ls -A "$work/artifacts")" ]; then
  echo "fuzz: FAILED (status $status)" >&2
  for f in "$work/artifacts"/*; do
    [ -e "$f" ] || continue
    echo "fuzz: crashing input $(basename "$f"):" >&2
    od -A d -t x1 "$f" | head -20 >&2
  done
  exit 1
fi
echo "fuzz: no crash in ${seconds}s"
