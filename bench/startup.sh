#!/bin/sh
# Times the desktop program's start with two databases against the barest Qt window of the same
# size: RUNS alternating starts of each (default 7), each timed by velmorix-bench-maptimer from
# the start of the program to the mapping of its window and to its first paint (no pixel of the
# window left unpainted). Prints the medians and their ratios, the time `velmorix --version` and
# `velmorix-cli --version` take (the dynamic linking before main), and the resident memory of velmorix idle with both databases
# loaded (and of the bare window).
#
#   bench/startup.sh [BUILD_DIR] [RUNS]
#
# VELMORIX=PROGRAM times another build's velmorix (such as that of another branch) against the
# same bare window.
# Uses $DISPLAY when set; otherwise starts Xvfb with openbox on a free display of its own. The
# databases are those of two demo disks (velmorix-cli demo); the program runs with a home and
# settings folder of its own.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
runs=${2:-7}
app=${VELMORIX:-$build/bin/velmorix}
cli=$build/bin/velmorix-cli
bare=$build/bin/velmorix-bench-bare
timer=$build/bin/velmorix-bench-maptimer
[ -x "$app" ] && [ -x "$cli" ] && [ -x "$bare" ] && [ -x "$timer" ] ||
    { echo "build velmorix, velmorix-cli, velmorix-bench-bare and velmorix-bench-maptimer in $build first" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/velmorix-startup.XXXXXX")
server=
cleanup() {
    [ -n "$server" ] && kill $server 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

if [ -z "${DISPLAY:-}" ]; then
    for n in $(seq 90 130); do
        [ -e /tmp/.X$n-lock ] || { display=:$n; break; }
    done
    Xvfb "$display" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
    server=$!
    export DISPLAY=$display
    for _ in $(seq 100); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.05; done
    openbox >/dev/null 2>&1 &
    server="$server $!"
    sleep 1
fi
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
export XDG_CACHE_HOME=$work/home/.cache XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
"$cli" demo "$work/left" >/dev/null 2>&1
"$cli" demo "$work/right" >/dev/null 2>&1
left=$work/left/RECORD/DZT000.DB
right=$work/right/RECORD/DZT000.DB

# The first start warms the caches and tells the window's size.
size=$("$timer" "$app" "$left" "$right" | sed -n 's/.* size \([0-9]*\)x\([0-9]*\).*/\1 \2/p')
[ -n "$size" ] || { echo "velmorix showed no window" >&2; exit 1; }
"$timer" "$bare" $size >/dev/null

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
field() { sed -n "s/.* $1 \([0-9.-]*\).*/\1/p; s/^$1 \([0-9.-]*\).*/\1/p"; }
for _ in $(seq "$runs"); do
    "$timer" "$app" "$left" "$right" >>"$work/app.txt"
    "$timer" "$bare" $size >>"$work/bare.txt"
    start=$(date +%s.%N); "$app" --version >/dev/null; end=$(date +%s.%N)
    echo "$start $end" | awk '{ print $2 - $1 }' >>"$work/version.txt"
    start=$(date +%s.%N); "$cli" --version >/dev/null; end=$(date +%s.%N)
    echo "$start $end" | awk '{ print $2 - $1 }' >>"$work/cli-version.txt"
done
app_map=$(field map <"$work/app.txt" | median)
app_paint=$(field paint <"$work/app.txt" | median)
bare_map=$(field map <"$work/bare.txt" | median)
bare_paint=$(field paint <"$work/bare.txt" | median)
version=$(median <"$work/version.txt")
cli_version=$(median <"$work/cli-version.txt")
app_rss=$("$timer" --rss 3 "$app" "$left" "$right" | field rss)
bare_rss=$("$timer" --rss 3 "$bare" $size | field rss)

echo "start-up, medians of $runs alternating starts (window ${size% *}x${size#* }, two databases):"
printf '  %-34s %8s %8s\n' "" "mapped" "painted"
printf '  %-34s %7.3fs %7.3fs\n' "velmorix A.DB B.DB" "$app_map" "$app_paint"
printf '  %-34s %7.3fs %7.3fs\n' "bare Qt window (QWidget)" "$bare_map" "$bare_paint"
printf '  %-34s %7.2fx %7.2fx\n' "ratio" "$(echo "$app_map $bare_map" | awk '{ print $1 / $2 }')" \
    "$(echo "$app_paint $bare_paint" | awk '{ print $1 / $2 }')"
printf '  %-34s %7.3fs\n' "velmorix --version" "$version"
printf '  %-34s %7.3fs\n' "velmorix-cli --version" "$cli_version"
printf '  %-34s %s\n' "linked libraries of velmorix" "$(ldd "$app" | wc -l)"
printf '  %-34s %s\n' "linked libraries of velmorix-cli" "$(ldd "$cli" | wc -l)"
echo "resident memory, idle 3 s after the window was painted:"
printf '  %-34s %6d MB\n' "velmorix A.DB B.DB" "$((app_rss / 1024))"
printf '  %-34s %6d MB\n' "bare Qt window" "$((bare_rss / 1024))"
