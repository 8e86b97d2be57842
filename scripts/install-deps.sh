#!/bin/sh
# Installs what Velmorix needs on Debian 12. Safe to run again.
#
#   install-deps.sh [--programs] [--check | --if-missing]
#
# By default everything: the two programs' build and run dependencies and what the tests, the
# package check and the fuzzers need. --programs: only what building and running the two programs
# needs (the first start does not wait for the test tools). --check installs nothing and needs no
# root: it names the packages still missing on standard error and exits 1 when there are any, 0
# when everything is installed. --if-missing installs only when something is missing, as root or
# through sudo, and says what to run when neither works.
set -eu

programs="
  build-essential cmake ninja-build pkg-config g++
  qt6-base-dev libqt6opengl6-dev libgl-dev libxcb1-dev libmpv-dev qt6-wayland librsvg2-bin
  libavformat-dev libavcodec-dev libavutil-dev libavfilter-dev libswresample-dev libswscale-dev
  ffmpeg mencoder mplayer fonts-dejavu-core
"
tests="
  clang libclang-rt-14-dev libgtest-dev libgmock-dev googletest
  xvfb xauth openbox libx11-dev imagemagick desktop-file-utils appstream groff-base file lintian
  python3 ca-certificates strace
  dosfstools fusefat exfatprogs exfat-fuse ntfs-3g fuse3
"

packages="$programs $tests"
mode=install
for argument in "$@"; do
  case $argument in
    --programs) packages=$programs ;;
    --check) mode=check ;;
    --if-missing) mode=if-missing ;;
    *) echo "install-deps.sh: unknown option $argument (use --programs, --check or --if-missing)" >&2; exit 2 ;;
  esac
done
self=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")
[ "$packages" = "$programs" ] && only=" --programs" || only=""

# The packages of the list that are not installed, one a line.
missing()
{
  installed=$(dpkg-query -W -f='${Package} ${db:Status-Abbrev}\n' $packages 2>/dev/null |
    awk 'substr($2, 2, 1) == "i" { print $1 }')
  for p in $packages; do
    printf '%s\n' "$installed" | grep -qx "$p" || echo "$p"
  done
}

case $mode in
  check)
    absent=$(missing)
    [ -z "$absent" ] && exit 0
    echo "Missing packages:" $absent >&2
    exit 1
    ;;
  if-missing)
    absent=$(missing)
    if [ -z "$absent" ]; then
      echo "Every package Velmorix needs here is installed."
      exit 0
    fi
    echo "Installing the missing packages:" $absent
    if [ "$(id -u)" -eq 0 ]; then
      exec "$self"$only
    elif ! command -v sudo >/dev/null 2>&1; then
      echo "sudo is not installed here, so run \"$self$only\" as root (for example with su -c) and then start again." >&2
      exit 1
    elif ! sudo "$self"$only; then
      echo "Installing the packages through sudo failed, so run \"$self$only\" as root (for example with su -c) and then start again." >&2
      exit 1
    fi
    exit 0
    ;;
esac

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps.sh installs packages with apt: run it as root or with sudo." >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends $packages >/dev/null
