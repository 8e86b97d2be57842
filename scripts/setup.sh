#!/bin/sh
# From nothing to a running Velmorix: installs the dependencies, builds, writes a demo receiver
# disk, shows its recordings and starts the desktop program (or says why it cannot).
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
if [ "$(id -u)" -eq 0 ]; then
  "$here/scripts/install-deps.sh"
else
  sudo "$here/scripts/install-deps.sh"
fi
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORIX_GUI=ON
cmake --build "$here/build"
demo="$here/build/demo-disk"
[ -f "$demo/RECORD/DZT000.DB" ] || "$here/build/bin/velmorix-cli" demo "$demo"
"$here/build/bin/velmorix-cli" list "$demo/RECORD/DZT000.DB"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  echo "Starting velmorix (the desktop program)."
  "$here/build/bin/velmorix" >/dev/null 2>&1 &
else
  echo "No display here (DISPLAY and WAYLAND_DISPLAY are unset), so the desktop program"
  echo "build/bin/velmorix cannot start; build/bin/velmorix-cli works from the terminal, e.g."
  echo "  build/bin/velmorix-cli list $demo/RECORD/DZT000.DB"
fi
