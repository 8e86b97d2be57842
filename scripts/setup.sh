#!/bin/sh
# From nothing to a running Velmorix: installs the dependencies (when any are missing), builds,
# writes a demo receiver disk, shows its recordings and starts the desktop program (or says why
# it cannot).
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
deps="$here/scripts/install-deps.sh"
if "$deps" --check; then
  echo "Every package Velmorix needs is installed."
elif [ "$(id -u)" -eq 0 ]; then
  "$deps"
elif ! command -v sudo >/dev/null 2>&1; then
  echo "sudo is not installed here, so run \"$deps\" as root (for example with su -c) and then run setup.sh again." >&2
  exit 1
elif ! sudo "$deps"; then
  echo "Installing the packages through sudo failed, so run \"$deps\" as root (for example with su -c) and then run setup.sh again." >&2
  exit 1
fi
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORIX_GUI=ON
cmake --build "$here/build"
demo="$here/build/demo-disk"
[ -f "$demo/RECORD/DZT000.DB" ] || "$here/build/bin/velmorix-cli" demo "$demo"
"$here/build/bin/velmorix-cli" list "$demo/RECORD/DZT000.DB"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  # Started in the background with the demo disk's database in its left pane; it counts as
  # started when it is still running a moment later.
  log="$here/build/velmorix.log"
  "$here/build/bin/velmorix" "$demo/RECORD/DZT000.DB" >"$log" 2>&1 &
  pid=$!
  sleep 2
  if kill -0 "$pid" 2>/dev/null; then
    echo "Started velmorix (the desktop program) with the demo disk's recordings; its messages go to build/velmorix.log."
  else
    status=0
    wait "$pid" || status=$?
    if [ "$status" -ne 0 ]; then
      echo "velmorix did not start (exit status $status). It said:" >&2
      sed 's/^/  /' "$log" >&2
      exit 1
    fi
    echo "velmorix started and ended again at once; its messages are in build/velmorix.log."
  fi
else
  echo "No display here (DISPLAY and WAYLAND_DISPLAY are unset), so the desktop program"
  echo "build/bin/velmorix cannot start; build/bin/velmorix-cli works from the terminal, e.g."
  echo "  build/bin/velmorix-cli list $demo/RECORD/DZT000.DB"
fi
