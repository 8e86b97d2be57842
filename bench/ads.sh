#!/bin/sh
# Times `velmorix-cli ads` on an hour of SD recording (MPEG-2, 720x576, 4 Mbit/s, MP2 sound) and,
# unless SD_ONLY=1, an hour of HD recording (H.264 High, 1080i, 10 Mbit/s), and prints the time
# beside the recording's length, with the blocks it proposed against the blocks the recording holds.
#
#   bench/ads.sh [BUILD_DIR] [MINUTES]      (default build/ and 60 minutes; SD_ONLY=1 or HD_ONLY=1)
#
# Fixture: a stretch of a few minutes made with ffmpeg (programme with a logo in the top right
# corner, then a block of spots framed and parted by half a second of black and silence), repeated
# with its timestamps running on (-stream_loop, nothing re-encoded) to the length asked for, split
# into part files of the receiver's full size and listed in a database. Making it takes a few
# minutes and is not timed. The analysis runs as a user would run it, on two cores at most
# (taskset), with the page cache dropped first when the script runs as root.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
minutes=${2:-60}
cli=$build/bin/velmorix-cli
[ -x "$cli" ] || { echo "build velmorix-cli in $build first" >&2; exit 2; }
command -v ffmpeg >/dev/null || { echo "ffmpeg is needed" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/velmorix-ads-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

# fixture NAME SIZE UNIT_SECONDS CODEC_ARGS...: one stretch of programme (UNIT_SECONDS - 63) and a
# block of three 20-second spots, 0.5 s of black and silence around each.
fixture() {
  name=$1 size=$2 unit=$3
  shift 3
  programme=$((unit - 62))
  gap="color=c=black:s=$size:r=25:d=0.5"
  ffmpeg -nostdin -y -v error \
    -f lavfi -i "testsrc2=s=$size:r=25:d=$programme" -f lavfi -i "sine=f=440:r=48000:d=$programme" \
    -f lavfi -i "$gap" -f lavfi -i "anullsrc=r=48000:cl=mono:d=0.5" \
    -f lavfi -i "mandelbrot=s=$size:r=25,trim=duration=20" -f lavfi -i "sine=f=1000:r=48000:d=20" \
    -f lavfi -i "$gap" -f lavfi -i "anullsrc=r=48000:cl=mono:d=0.5" \
    -f lavfi -i "color=c=0x3070b0:s=$size:r=25:d=20" -f lavfi -i "sine=f=700:r=48000:d=20" \
    -f lavfi -i "$gap" -f lavfi -i "anullsrc=r=48000:cl=mono:d=0.5" \
    -f lavfi -i "cellauto=s=$size:r=25:rule=110,trim=duration=20" -f lavfi -i "sine=f=300:r=48000:d=20" \
    -f lavfi -i "$gap" -f lavfi -i "anullsrc=r=48000:cl=mono:d=0.5" \
    -filter_complex "[0:v]noise=alls=8:allf=t,drawbox=x=iw*0.82:y=ih*0.06:w=iw*0.08:h=ih*0.07:color=white@0.8:t=fill,drawbox=x=iw*0.84:y=ih*0.08:w=iw*0.04:h=ih*0.03:color=black:t=fill[p];\
[8:v]noise=alls=20:allf=t[c];[4:v]format=yuv420p[m];[12:v]format=yuv420p[l];\
[p][1:a][2:v][3:a][m][5:a][6:v][7:a][c][9:a][10:v][11:a][l][13:a][14:v][15:a]concat=n=8:v=1:a=1[v][a]" \
    -map "[v]" -map "[a]" "$@" -c:a mp2 -b:a 192k -ac 2 -f mpegts "$work/$name-unit.ts"
  loops=$((minutes * 60 / unit))
  ffmpeg -nostdin -y -v error -stream_loop $((loops - 1)) -i "$work/$name-unit.ts" -map 0 -c copy \
    -f mpegts "$work/$name.ts"
  rm "$work/$name-unit.ts"
  mkdir "$work/$name"
  python3 - "$work/$name.ts" "$work/$name" $((loops * unit)) <<'EOF'
import os, random, sys
sys.path.insert(0, os.path.join(os.environ["here"], "tests", "cli"))
import test_cli as t
stream, folder, duration = sys.argv[1], sys.argv[2], int(sys.argv[3])
rec = t.random_record(random.Random(7), 1, 1, 0)
rec["name"] = b"\x05Bench\0" + bytes(9)
rec["duration"] = duration
with open(stream, "rb") as f:
    j = 0
    while True:
        data = f.read(t.FULL_PART)
        if not data:
            break
        rec["parts"].append(t.part_name(1, j))
        with open(os.path.join(folder, rec["parts"][-1].decode()), "wb") as out:
            out.write(data)
        j += 1
with open(os.path.join(folder, "DZT000.DB"), "wb") as f:
    f.write(t.encode(5, 1, {0: rec}))
EOF
  rm "$work/$name.ts"
  echo "$loops"
}

# run NAME LABEL BLOCKS: times the analysis and prints the line of the table.
run() {
  name=$1 label=$2 blocks=$3
  sync
  [ "$(id -u)" -eq 0 ] && echo 3 >/proc/sys/vm/drop_caches 2>/dev/null || true
  t0=$(date +%s%N)
  taskset -c 0,1 "$cli" ads "$work/$name/DZT000.DB" 1 --json >"$work/$name.json" 2>/dev/null
  t1=$(date +%s%N)
  python3 - "$work/$name.json" "$label" "$blocks" "$(( (t1 - t0) / 1000000 ))" "$(du -sb "$work/$name" | cut -f1)" <<'EOF'
import json, sys
out = json.load(open(sys.argv[1]))
label, blocks, ms, size = sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
minutes = out["duration"] / 60
print(f"{label:<28} {minutes:6.1f} min  {size / 1e9:5.2f} GB  analysed in {ms / 1000:6.1f} s"
      f"  ({out['duration'] / (ms / 1000):5.1f}x real time)  blocks proposed {len(out['stretches'])}"
      f" of {blocks}, logo {'found' if out['logo'] else 'not found'}")
for s in out["stretches"][:2]:
    print(f"    {s['start']:9.2f} {s['end']:9.2f}  score {s['score']:.2f}")
EOF
}

export here
if [ "${HD_ONLY:-0}" != 1 ]; then
  sd_loops=$(fixture sd 720x576 300 -c:v mpeg2video -g 12 -bf 2 -b:v 4M -maxrate 8M -bufsize 4M)
  run sd "SD MPEG-2 720x576 4 Mbit/s" "$sd_loops"
  rm -rf "$work/sd"
fi
if [ "${SD_ONLY:-0}" != 1 ]; then
  # Coded as broadcasters code it: CABAC, interlaced, B-frames that others refer to.
  hd_loops=$(fixture hd 1920x1080 180 -c:v libx264 -preset veryfast -flags +ildct+ilme -x264-params interlaced=1 \
    -g 50 -bf 3 -b:v 10M -maxrate 12M -bufsize 6M -pix_fmt yuv420p)
  run hd "HD H.264 1080i 10 Mbit/s" "$hd_loops"
fi
