#!/bin/sh
# Times velmorix-cli's merge, copy and cut against cat and cp on the same part files, and its
# deletion and cut with undo against the same with --no-undo, and prints the ratios (medians of
# RUNS alternating runs; below 1 means the first is faster); then the time a pane takes to load a
# database of 200 recordings, each measured from its part files.
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
#
# Undo: a deletion of a recording of 30 full parts of written data (4 GB), with undo (the parts
# are renamed into the undo folder) and with --no-undo (they are unlinked), each on a fresh
# fixture, written, synced and dropped from the page cache outside the time measured (a disk that
# was just plugged in); fewer parts when the disk has not the room, as the table says. The parts
# are written rather than only allocated: on ext4 allocated parts unlink in milliseconds, written
# ones in seconds. The time of `undo --empty` right after the deletion with undo is the cost that
# deletion puts off. The cut is timed the same two ways. Then what the undo folder holds after a
# cut, against the stretch the cut replaced: the bytes written there (the replaced packets and the
# manifest) and the part files renamed there, for the one-part cut above and for a cut of five
# minutes of the 80-part stream.
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
mkdir "$work/rec" "$work/one" "$work/load" "$work/long" "$work/ts3"
del_parts=30
free_bytes=$(df -B1 --output=avail "$work" | tail -1)
# The 80-part stream and the other fixtures take about 11.5 GB; the deletion's fixture is made
# twice a round, but one at a time.
while [ "$del_parts" -gt 1 ] && [ "$free_bytes" -lt $((12000000000 + del_parts * 133795840)) ]; do
    del_parts=$((del_parts / 2))
done
"$fixture" "$work/rec" 3
"$fixture" "$work/one" 1 --ts
cp -r "$work/one" "$work/one.orig"
"$fixture" "$work/long" 80 --ts
"$fixture" "$work/ts3" 3 --ts
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
cut_noundo() { "$cli" cut "$work/one/DZT000.DB" 1 10 20 --yes --no-undo; }
# Each deletion starts from a fresh fixture (outside the time measured).
fresh_del() {
    rm -rf "$work/del"
    mkdir "$work/del"
    "$fixture" "$work/del" "$del_parts"
    sync
    for part in "$work/del/"*.TRP; do dd if="$part" iflag=nocache count=0 status=none; done
}
delete_undo() { "$cli" delete "$work/del/DZT000.DB" 1; }
delete_noundo() { "$cli" delete "$work/del/DZT000.DB" 1 --no-undo; }
# What the deletion with undo left for later: freeing what it kept, right after it.
empty_undo() { "$cli" undo --empty "$work/del/DZT000.DB"; }
# Export reads the parts as one stream and writes one MKV, flushed before it is renamed into place.
export_velmorix() { rm -f "$work/out/"*; "$cli" export "$work/ts3/DZT000.DB" 1 "$work/out" --json; }
export_cat() { rm -f "$work/out/"*; cat "$work/ts3/"*.TRP > "$work/out/cat.ts"; sync "$work/out/cat.ts"; }
cut_cp() { rm -f "$work/out/"*; cp "$work/one/RF0001AA.TRP" "$work/out/part.trp"; sync "$work/out/part.trp"; }

mkdir "$work/out"
: > "$work/times"
i=0
while [ "$i" -lt "$runs" ]; do
    # The two ways of deleting and of cutting swap places every other run.
    if [ $((i % 2)) -eq 0 ]; then pair="delete_undo empty_undo delete_noundo cut_velmorix cut_noundo"
    else pair="delete_noundo delete_undo empty_undo cut_noundo cut_velmorix"; fi
    for op in merge_velmorix merge_cat export_velmorix export_cat copy_velmorix copy_cp $pair cut_cp find_velmorix; do
        case $op in
        cut_velmorix | cut_noundo) restore_one ;;
        delete_undo | delete_noundo) fresh_del ;;
        esac
        echo "$op $(timed "$op")" >> "$work/times"
    done
    i=$((i + 1))
done

med() { awk -v op="$1" '$1 == op { print $2 }' "$work/times" | median; }
ratio() { awk -v a="$(med "$1")" -v b="$(med "$2")" -v name="$3" -v more="${4:-}" \
    'BEGIN { printf "%-19s %8.3f  (%.0f ms / %.0f ms)%s\n", name, a / b, a / 1e6, b / 1e6, more }'; }
echo "medians of $runs alternating runs, $(uname -r)"
ratio merge_velmorix merge_cat "merge/cat"
ratio export_velmorix export_cat "export mkv/cat+sync" ", 3 parts of a transport stream"
ratio copy_velmorix copy_cp "copy/cp"
ratio cut_velmorix cut_cp "cut/cp"
read_bytes=$(find_velmorix | sed -n 's/.*"clock_bytes_read":\([0-9]*\).*/\1/p')
awk -v t="$(med find_velmorix)" -v b="$read_bytes" \
    'BEGIN { printf "find key frames of 2 stretches in 80 parts: %.0f ms, %.2f MiB read\n", t / 1e6, b / 1048576 }'
rm -rf "$work/del"
ratio delete_undo delete_noundo "delete undo/no-undo" ", a recording of $del_parts parts of 127.6 MiB"
awk -v t="$(med empty_undo)" 'BEGIN { printf "undo --empty after the deletion: %.0f ms\n", t / 1e6 }'
ratio cut_velmorix cut_noundo "cut undo/no-undo"

# What the undo folder of a cut holds (the part of the --json output and the entry's files).
kept() {
    out=$("$cli" cut "$@" --yes --json)
    entry=$(echo "$out" | sed -n 's/.*"undo":{"entry":"\([^"]*\)".*/\1/p')
    holds=$(echo "$out" | sed -n 's/.*"undo":{[^}]*"holds":\([0-9]*\).*/\1/p')
    stretch=$(echo "$out" | grep -o '"first_byte":[0-9]*,"end_byte":[0-9]*' |
        awk -F'[:,]' '{ s += $4 - $2 } END { print s + 0 }')
    written=$(find "$entry" -type f ! -name '*.TRP' -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }')
    renamed=$(find "$entry" -type f -name '*.TRP' -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }')
    kind=$(echo "$out" | sed -n 's/.*"kind":"\([^"]*\)".*/\1/p')
    awk -v k="$kind" -v s="$stretch" -v w="$written" -v r="$renamed" -v h="$holds" 'BEGIN {
        printf "cut (%s): stretch %.1f MiB; undo folder: %.1f MiB written (%.4f of the stretch), %.1f MiB of parts renamed; holds %.1f MiB\n",
            k, s / 1048576, w / 1048576, w / s, r / 1048576, h / 1048576 }'
}
restore_one
kept "$work/one/DZT000.DB" 1 10 20
kept "$work/long/DZT000.DB" 1 600 900
"$load" "$work/load" 200 "$runs"
