#!/usr/bin/env bash
# Installs every Debian 12 package that the build, the voice recipe, the tests,
# the fuzzers and the benchmarks need. As root it installs directly; as another
# user it asks sudo for the installation.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "install-deps.sh: run it as root, or install sudo first" >&2
    exit 1
  fi
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends \
    build-essential cmake ninja-build pkg-config git \
    libgtest-dev libgmock-dev googletest libbenchmark-dev \
    clang libclang-rt-14-dev \
    libsqlite3-dev \
    libasound2-dev alsa-utils \
    qt6-base-dev \
    espeak-ng libespeak-ng-dev sox praat \
    xvfb xauth xdotool libx11-dev libxtst-dev libxi-dev libxcb-keysyms1-dev \
    libxcb-xinput-dev libxcb-xkb-dev libxkbcommon-dev libxkbcommon-x11-dev x11-xkb-utils \
    openbox x11-utils x11-xserver-utils xclip imagemagick trayer \
    time valgrind \
    shared-mime-info libglib2.0-bin desktop-file-utils qt6-translations-l10n librsvg2-bin \
    faketime speech-dispatcher speech-dispatcher-espeak-ng groff-base man-db \
    lintian \
    at-spi2-core python3-pyatspi orca locales \
    libsodium-dev libavahi-client-dev dbus avahi-daemon avahi-utils
