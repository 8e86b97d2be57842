#!/bin/sh
# Installs everything Velmorix needs to build, test, package and run on Debian 12. Safe to run
# again. With --check it installs nothing and needs no root: it names the packages still missing
# on standard error and exits 1 when there are any, 0 when everything is installed.
set -eu

packages="
  build-essential cmake ninja-build pkg-config g++ clang libclang-rt-14-dev
  libgtest-dev libgmock-dev googletest
  qt6-base-dev libqt6opengl6-dev libgl-dev libmpv-dev qt6-wayland
  ffmpeg mencoder mplayer xvfb xauth imagemagick fonts-dejavu-core
  librsvg2-bin desktop-file-utils appstream groff-base file lintian
  python3 ca-certificates strace
  dosfstools fusefat exfatprogs exfat-fuse ntfs-3g fuse3
"

# The packages of the list that are not installed, one a line.
missing()
{
  installed=$(dpkg-query -W -f='${Package} ${db:Status-Abbrev}\n' $packages 2>/dev/null |
    awk 'substr($2, 2, 1) == "i" { print $1 }')
  for p in $packages; do
    printf '%s\n' "$installed" | grep -qx "$p" || echo "$p"
  done
}

if [ "${1:-}" = --check ]; then
  absent=$(missing)
  [ -z "$absent" ] && exit 0
  echo "Missing packages:" $absent >&2
  exit 1
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps.sh installs packages with apt: run it as root or with sudo." >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends $packages >/dev/null
