#!/bin/sh
# Builds the fuzz targets with clang (ASan+UBSan) into BUILD_DIR and runs each for SECONDS from
# a seed corpus of valid databases. A crash, hang or sanitizer report ends with a non-zero exit.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-fuzz}
seconds=${2:-60}
CC=clang CXX=clang++ cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVELMORIX_GUI=OFF -DVELMORIX_TESTS=OFF -DVELMORIX_FUZZ=ON -DVELMORIX_SANITIZE=ON >/dev/null
cmake --build "$build" --target fuzz_dbreader
rm -rf "$build/seeds"
python3 "$here/fuzz/make_seeds.py" "$build/seeds"
mkdir -p "$build/corpus"
echo "Fuzzing the database reader for ${seconds}s"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  "$build/bin/fuzz_dbreader" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
  -print_final_stats=1 "$build/corpus" "$build/seeds" 2>"$build/fuzz_dbreader.log" || {
    tail -n 60 "$build/fuzz_dbreader.log"
    echo "fuzz_dbreader found a problem (log: $build/fuzz_dbreader.log)" >&2
    exit 1
  }
tail -n 12 "$build/fuzz_dbreader.log"
