#!/bin/sh
# Builds the fuzz targets with clang (ASan+UBSan) into BUILD_DIR and runs them: the database
# reader for SECONDS from a seed corpus of valid databases of every version, the encoder status
# parser and the recording's clock (over a small MPEG-2 and H.264 transport stream from ffmpeg)
# for a third of that each, the EDL reader for a sixth. A crash, hang or sanitizer report ends with a non-zero exit.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-fuzz}
seconds=${2:-60}
CC=clang CXX=clang++ cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVELMORIX_GUI=OFF -DVELMORIX_TESTS=OFF -DVELMORIX_FUZZ=ON -DVELMORIX_SANITIZE=ON >/dev/null
cmake --build "$build" --target fuzz_dbreader fuzz_statusparser fuzz_recordingclock fuzz_edl

rm -rf "$build/seeds-dbreader"
python3 "$here/fuzz/make_seeds.py" "$build/seeds-dbreader"
mkdir -p "$build/seeds-statusparser"
printf '\001Pos: 0.1s 3f ( 0%%) 0fps\rPos: 512.0s 12800f (57%%) 25fps\r\nSkipping frame!\n' \
  >"$build/seeds-statusparser/status"
rm -rf "$build/seeds-edl"
mkdir -p "$build/seeds-edl"
printf '# blocks\r\n12.5 40 3\r\n\n61\t95.25 0 # a cut\n100 130\n' >"$build/seeds-edl/edl"
rm -rf "$build/seeds-recordingclock"
mkdir -p "$build/seeds-recordingclock"
# Each seed: two bytes that split it into parts 40 packets and a byte in, one for the time asked,
# then the stream.
for codec in mpeg2video libx264; do
  printf '\050\001\010' >"$build/seeds-recordingclock/$codec"
  ffmpeg -nostdin -v error -f lavfi -i testsrc=size=64x48:rate=25:duration=2 -c:v "$codec" -g 10 \
    -f mpegts - >>"$build/seeds-recordingclock/$codec"
done

fuzz() {
  target=$1
  secs=$2
  mkdir -p "$build/corpus-$target"
  echo "Fuzzing $target for ${secs}s"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    "$build/bin/fuzz_$target" -max_total_time="$secs" -timeout=10 -rss_limit_mb=4096 \
    -print_final_stats=1 "$build/corpus-$target" "$build/seeds-$target" 2>"$build/fuzz_$target.log" || {
      tail -n 60 "$build/fuzz_$target.log"
      echo "fuzz_$target found a problem (log: $build/fuzz_$target.log)" >&2
      exit 1
    }
  grep -E '^(Done|stat::(number_of_executed_units|new_units_added|peak_rss_mb))' "$build/fuzz_$target.log"
}

fuzz dbreader "$seconds"
fuzz statusparser "$((seconds / 3 + 1))"
fuzz recordingclock "$((seconds / 3 + 1))"
fuzz edl "$((seconds / 6 + 1))"
