#!/bin/sh
# Times velmorix-cli's merge, copy and cut against cat and cp on the same part files and prints
# the ratios (medians of RUNS alternating runs; below 1 means velmorix is faster); then the time
# a pane takes to load a database of 200 recordings, each measured from its part files.
#
#   bench/run.sh [BUILD_DIR] [RUNS]      (default build/ and 5 runs)
#
# Fixture: a recording of three full parts (3 x 133,795,840 bytes of data) in a temporary folder
# for merge and copy; a one-part transport stream of synthetic pictures (a variable byte rate) for
# the cut, which removes the ten busy seconds from 10 s to 20 s, at the key frames after the marks;
# and an 80-part transport stream (about 10.7 GB, 80 minutes) in which the cut's clock finds the
# key frames of two stretches (a dry run), with the bytes that search read. velmorix flushes what it writes to the disk before it reports
# success (a merged file before it is renamed into place, a copied part before a database
# names it, a trimmed part before the database is written), so the baselines are followed by
# `sync` of the files they wrote.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
runs=${2:-5}
cli=$build/bin/velmorix-cli
fixture=$build/bin/velmorix-bench-fixture
load=$build/bin/velmorix-bench-load
[ -x "$cli" ] && [ -x "$fixture" ] && [ -x "$load" ] ||
    { echo "build velmorix-cli, velmorix-bench-fixture and velmorix-bench-load in $build first" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/velmorix-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
mkdir "$work/rec" "$work/one" "$work/load" "$work/long"
"$fixture" "$work/rec" 3
"$fixture" "$work/one" 1 --ts
cp -r "$work/one" "$work/one.orig"
"$fixture" "$work/long" 80 --ts
parts="$work/rec/RF0001AA.TRP $work/rec/RF0001AB.TRP $work/rec/RF0001AC.TRP"

now() { date +%s%N; }
# Runs a command and prints its wall time in nanoseconds.
timed() { t0=$(now); "$@" >/dev/null; t1=$(now); echo $((t1 - t0)); }
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

merge_velmorix() { rm -f "$work/out/"*; "$cli" merge "$work/rec/DZT000.DB" 1 "$work/out"; }
merge_cat() { rm -f "$work/out/"*; cat $parts > "$work/out/cat.trp"; sync "$work/out/cat.trp"; }
copy_velmorix() { rm -rf "$work/dst"; mkdir "$work/dst"; "$cli" copy "$work/rec/DZT000.DB" "$work/dst/DZT000.DB" 1 --yes; }
copy_cp() { rm -rf "$work/dst"; mkdir "$work/dst"; cp $parts "$work/dst/"; sync "$work/dst/"*; }
cut_velmorix() { "$cli" cut "$work/one/DZT000.DB" 1 10 20 --yes; }
# Each cut starts from the recording as it was (outside the time measured).
restore_one() { rm -rf "$work/one"; cp -r "$work/one.orig" "$work/one"; sync; }
find_velmorix() { "$cli" cut "$work/long/DZT000.DB" 1 600 660 3000 3060 --dry-run --json; }
cut_cp() { rm -f "$work/out/"*; cp "$work/one/RF0001AA.TRP" "$work/out/part.trp"; sync "$work/out/part.trp"; }

mkdir "$work/out"
: > "$work/times"
i=0
while [ "$i" -lt "$runs" ]; do
    for op in merge_velmorix merge_cat copy_velmorix copy_cp cut_velmorix cut_cp find_velmorix; do
        [ "$op" != cut_velmorix ] || restore_one
        echo "$op $(timed "$op")" >> "$work/times"
    done
    i=$((i + 1))
done

med() { awk -v op="$1" '$1 == op { print $2 }' "$work/times" | median; }
ratio() { awk -v a="$(med "$1")" -v b="$(med "$2")" -v name="$3" \
    'BEGIN { printf "%-10s %8.3f  (%.0f ms / %.0f ms)\n", name, a / b, a / 1e6, b / 1e6 }'; }
echo "medians of $runs alternating runs, $(uname -r)"
ratio merge_velmorix merge_cat "merge/cat"
ratio copy_velmorix copy_cp "copy/cp"
ratio cut_velmorix cut_cp "cut/cp"
read_bytes=$(find_velmorix | sed -n 's/.*"clock_bytes_read":\([0-9]*\).*/\1/p')
awk -v t="$(med find_velmorix)" -v b="$read_bytes" \
    'BEGIN { printf "find key frames of 2 stretches in 80 parts: %.0f ms, %.2f MiB read\n", t / 1e6, b / 1048576 }'
"$load" "$work/load" 200 "$runs"
