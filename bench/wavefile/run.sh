#!/usr/bin/env bash
# Builds vksay, the default voice and the WAV-file benchmark when they are out
# of date and runs it: vksay -o, vksay on the wav: device and espeak-ng -w on
# the same text, instructions (valgrind) and wall time. Arguments go to
# bench_wavefile (--help lists them). BUILD_DIR chooses the build folder.
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD_DIR=${BUILD_DIR:-build}
if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$BUILD_DIR" --target bench_wavefile -j "$(nproc)"
echo "machine: $(nproc) processors, $(uname -m), load average $(cut -d' ' -f1-3 /proc/loadavg)"
exec "$BUILD_DIR/bench/bench_wavefile" "$@"
