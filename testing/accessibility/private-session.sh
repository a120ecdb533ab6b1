#!/bin/sh
# Runs a command on a session bus of its own with a home of its own: what the
# bus starts on demand (dconf, the accessibility bus) keeps its settings and
# caches there, never in the home of the one who runs the tests. The home is
# removed when the command ends; its exit status is the command's.
set -u
base=${VOKAR_TEST_TMP:-${TMPDIR:-/tmp}}
mkdir -p "$base" || exit 1
home=$(mktemp -d "$base/session-XXXXXX") || exit 1
trap 'rm -rf "$home"' EXIT
trap 'exit 143' TERM
trap 'exit 130' INT
HOME=$home XDG_CONFIG_HOME=$home/.config XDG_CACHE_HOME=$home/.cache \
  XDG_DATA_HOME=$home/.local/share XDG_STATE_HOME=$home/.local/state \
  dbus-run-session -- "$@"
