#!/usr/bin/env bash
# Builds every libFuzzer target with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for SECONDS (default 60).
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_EACH=${1:-60}
shift || true
BUILD_DIR=${FUZZ_BUILD_DIR:-build-fuzz}
CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVOKAR_FUZZ=ON -DVOKAR_BUILD_VOICE=OFF -DVOKAR_BENCH=OFF > /dev/null
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(fuzz_scanner fuzz_allophone_file fuzz_exception_dict fuzz_wave_file
           desktop_fuzz_frame desktop_fuzz_bus dde_fuzz_messages version_reader_fuzz regfile_parse_fuzz
           hotkey_setting_fuzz adviser_fuzz_advice_file
           comment_fuzz_ann intl_fuzz_ini uninstall_fuzz_records
           server_fuzz_dde server_fuzz_dib
           clock_fuzz_events_file keyboard_fuzz_key_events netsend_fuzz_frames
           speechd_fuzz_protocol doc_fuzz_markdown)
fi
cmake --build "$BUILD_DIR" --target "${targets[@]}" -j "$(nproc)"
failed=()
for target in "${targets[@]}"; do
  corpus="$BUILD_DIR/corpus/$target"
  log="$BUILD_DIR/corpus/$target.log"
  mkdir -p "$corpus"
  echo "== $target: $SECONDS_EACH s"
  # A crash leaves its input as crash-* in the current folder and the report in the log.
  if ! "$BUILD_DIR/fuzz/$target" -max_total_time="$SECONDS_EACH" -max_len=8192 "$corpus" > "$log" 2>&1; then
    failed+=("$target")
  fi
  grep -E "^(Done|==[0-9]+==ERROR|SUMMARY)" "$log" || true
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz targets that found a fault: ${failed[*]} (see $BUILD_DIR/corpus/*.log)"
  exit 1
fi
echo "every fuzz target ran clean"
