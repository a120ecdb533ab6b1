#!/usr/bin/env bash
# Builds the default voice and its benchmark when they are out of date and
# runs it: the joins, levels and soft consonants of our voice beside
# espeak-ng's speech of the same sentences. Arguments go to bench_voice
# (--help lists them). BUILD_DIR chooses the build folder (default build).
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD_DIR=${BUILD_DIR:-build}
if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$BUILD_DIR" --target bench_voice -j "$(nproc)"
exec "$BUILD_DIR/bench/bench_voice" "$@"
