#!/usr/bin/env bash
# Installs every Debian 12 package that the build, the voice recipe, the tests,
# the fuzzers and the benchmarks need. Run as root (or with sudo).
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends \
    build-essential cmake ninja-build pkg-config git \
    libgtest-dev libgmock-dev googletest libbenchmark-dev \
    clang libclang-rt-14-dev \
    libsqlite3-dev \
    libasound2-dev alsa-utils \
    qt6-base-dev \
    espeak-ng libespeak-ng-dev sox \
    xvfb xauth xdotool libx11-dev libxtst-dev libxi-dev libxcb-keysyms1-dev \
    time
