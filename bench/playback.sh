#!/bin/sh
# The player's figures on a demo disk with H.264 video (velmorix-cli demo --h264):
#  - the largest gap between presented frames across the part boundary of the two-part
#    recording ("Sports HD", 15 Mbit/s), beside the largest gap between two frames inside its
#    first part over a stretch as long; played as the window plays it (one stream over the
#    parts), and for comparison as separate files one after the other. mpv presents the frames to
#    its null video output in real time; they are equal when the boundary costs nothing. A busy
#    machine shows in both figures: the three runs of each tell the boundary from the noise;
#  - the resident memory of the window (started as velmorix starts it) idle with two databases
#    loaded (this disk's and a second demo disk's), and the largest while it plays that recording.
#
#   bench/playback.sh [BUILD_DIR] [SECONDS]     (default build/ and 20 seconds of playing)
#
# Without a display the window runs under xvfb-run.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
seconds=${2:-20}
cli=$build/bin/velmorix-cli
probe=$build/bin/velmorix-bench-playback
[ -x "$cli" ] && [ -x "$probe" ] ||
    { echo "build velmorix-cli and velmorix-bench-playback in $build first (VELMORIX_GUI=ON, VELMORIX_TESTS=ON)" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/velmorix-playback.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
"$cli" demo --h264 "$work/disk" >/dev/null 2>&1
# The right pane's database: a second demo disk (MPEG-2).
"$cli" demo "$work/disk2" >/dev/null 2>&1
record=$work/disk/RECORD
set -- "$record"/RF0002A?.TRP
[ "$#" -ge 2 ] || { echo "the demo disk has no two-part recording" >&2; exit 1; }

echo "== frames at the part boundary (H.264 720x576, 25 pictures a second: 40 ms apart), three runs each"
for run in 1 2 3; do "$probe" gaps "$@" | grep largest; done
echo
for run in 1 2 3; do "$probe" gaps --one-by-one "$@" | grep largest; done
echo

echo "== resident memory of the window"
left=$record/DZT000.DB
right=$work/disk2/RECORD/DZT000.DB
if [ -n "${DISPLAY:-}" ]; then
    "$probe" window "$left" "$right" 1 "$seconds"
else
    xvfb-run -a -s "-screen 0 1600x1000x24" "$probe" window "$left" "$right" 1 "$seconds"
fi
