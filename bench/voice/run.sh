#!/usr/bin/env bash
# Builds the default voice and its benchmark when they are out of date and
# runs it: the joins, levels and soft consonants of our voice beside
# espeak-ng's speech of the same sentences, then the table of melody,
# rhythm, speed and noise before and with the prosody stage (pitch tracks by
# praat). Arguments go to bench_voice instead (--help lists them; --table DIR
# keeps the WAV files and tracks). BUILD_DIR chooses the build folder
# (default build).
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD_DIR=${BUILD_DIR:-build}
if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$BUILD_DIR" --target bench_voice -j "$(nproc)"
if [ $# -eq 0 ]; then
  "$BUILD_DIR/bench/bench_voice"
  echo
  exec "$BUILD_DIR/bench/bench_voice" --table
fi
exec "$BUILD_DIR/bench/bench_voice" "$@"
