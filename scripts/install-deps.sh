#!/bin/sh
# Installs everything Velmorix needs to build, test and run on Debian 12. Safe to run again.
set -eu
if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps.sh installs packages with apt: run it as root or with sudo." >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends \
  build-essential cmake ninja-build pkg-config g++ clang libclang-rt-14-dev \
  libgtest-dev libgmock-dev googletest \
  qt6-base-dev libqt6opengl6-dev libgl-dev libmpv-dev \
  ffmpeg mencoder mplayer xvfb xauth imagemagick fonts-dejavu-core \
  python3 ca-certificates >/dev/null
