#!/usr/bin/env bash
# Builds the speech benchmark (with the default voice it needs) when it is out
# of date and runs it: our engine beside espeak-ng on the same text, the time
# to the first chunk, the memory of a whole job. Arguments go to bench_speech
# (--help lists them). BUILD_DIR chooses the build folder (default build).
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD_DIR=${BUILD_DIR:-build}
if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$BUILD_DIR" --target bench_speech -j "$(nproc)"
echo "machine: $(nproc) processors, $(uname -m), load average $(cut -d' ' -f1-3 /proc/loadavg)"
exec "$BUILD_DIR/bench/bench_speech" "$@"
