#!/bin/sh
# From nothing to a running Velmorix: installs what the programs need (when any of it is missing),
# builds the two programs, writes a demo receiver disk, shows its recordings and starts the
# desktop program (or says why it cannot).
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
# Only what the two programs need: the test tools come with scripts/test.sh.
"$here/scripts/install-deps.sh" --programs --if-missing
# A new build folder is made without the tests (they need packages this step did not install);
# scripts/test.sh turns them on in the same folder. Only the two programs are built here.
tests=
[ -f "$here/build/CMakeCache.txt" ] || tests=-DVELMORIX_TESTS=OFF
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORIX_GUI=ON $tests
cmake --build "$here/build" --target velmorix velmorix-cli velmorix_default_files
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
