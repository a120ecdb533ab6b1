#!/usr/bin/env bash
# Configures, builds everything (the default voice included) and runs every
# test. The tests run with a home of their own that nothing may change, and
# they may leave nothing behind in the temporary folders or the build's test
# folder: both are checked after the run.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
# Without debug information: the run needs none, and it builds in two thirds
# of the time.
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVOKAR_DEBUG_INFO=OFF
cmake --build "$BUILD_DIR" -j "$(nproc)"

# What the run may not change: a throwaway home (empty but for one file), the
# entries of the temporary folders and of the build's test folder.
build_dir=$(realpath "$BUILD_DIR")
trace_home="$build_dir/test-home"
rm -rf "$trace_home"
mkdir -p "$trace_home"
echo "The tests' throwaway home: nothing may change here." > "$trace_home/README"
# A folder may not be there yet (a fresh machine has no /tmp/.X11-unix until
# the first X server) and an entry may go while it is listed: neither is a
# failure of the listing.
listing() {
  find "$trace_home" -printf 'home: %P %s %T@\n' 2>/dev/null || true
  # Top-level entries, and the X servers' sockets in their shared folder.
  for folder in /tmp /tmp/.X11-unix /dev/shm "$build_dir/test-tmp"; do
    [[ -d "$folder" ]] || continue
    find "$folder" -mindepth 1 -maxdepth 1 -printf "$folder/%P\n" 2>/dev/null || true
  done
}
before=$(listing | sort)

status=0
# Two tests per core: most of them wait on the programs they start (a
# minute of the clock, a window on the X server, speech on the wave device),
# and a run at one per core keeps the processors less than half busy.
HOME="$trace_home" ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$(( $(nproc) * 2 ))" --timeout 300 || status=$?

# The test programs' guards end what a program left running just after it
# ends; give the last of them a moment.
sleep 1
after=$(listing | sort)
left=$(comm -13 <(echo "$before") <(echo "$after") | grep -v '^/tmp/.X11-unix$' || true)
gone=$(comm -23 <(echo "$before") <(echo "$after") | grep '^home: ' || true)
if [[ -n "$left" || -n "$gone" ]]; then
  echo "The tests left traces outside their own folders:" >&2
  [[ -n "$left" ]] && echo "$left" | sed 's/^/  new or changed: /' >&2
  [[ -n "$gone" ]] && echo "$gone" | sed 's/^/  changed or removed: /' >&2
  status=1
else
  echo "The tests left the home, the temporary folders and the build's test folder as they were."
fi
rm -rf "$trace_home"
exit "$status"
