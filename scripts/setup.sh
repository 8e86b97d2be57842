#!/bin/sh
# From nothing to a running Velmorix: installs the dependencies, builds, writes a demo receiver
# disk and shows its recordings.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-deps.sh"
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$here/build"
demo="$here/build/demo-disk"
[ -f "$demo/RECORD/DZT000.DB" ] || "$here/build/bin/velmorix-cli" demo "$demo"
"$here/build/bin/velmorix-cli" list "$demo/RECORD/DZT000.DB"
