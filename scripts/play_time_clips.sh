#!/usr/bin/env bash
# Short ffmpeg clips for the play-time, scan-table and track-count tests of
# the image build, made once per build tree (not committed):
#   pal_vcd_1s.mpg ntsc_vcd_1s.mpg   one second each
#   pal_svcd_1s.mpg                  one second with B pictures (open GOPs)
#   ntsc_vcd_bf_1s.mpg               the same for an NTSC VCD
#   pal_vcd_60s.mpg ntsc_vcd_60s.mpg one minute each (the 30-minute build
#                                    lists them 15 times each)
#   pal_svcd_11s.mpg                 eleven seconds, and vcdimager's image of
#                                    it: vcdimager_11s.cue/.bin
#   pal_vcd_joined.mpg               pal_vcd_60s then pal_vcd_1s, byte for
#   pal_svcd_joined.mpg              byte (and the SVCD clips so): the clocks
#                                    start again part way
# About 30 MB in all.
# Usage: scripts/play_time_clips.sh OUT-DIR
set -euo pipefail
out=$1
mkdir -p "$out"
cd "$out"

clip() { # name target size rate duration [extra ffmpeg options]
    local name=$1 target=$2 size=$3 rate=$4 duration=$5
    shift 5
    ffmpeg -hide_banner -loglevel error -y -threads 1 \
        -f lavfi -i "testsrc=duration=$duration:size=$size:rate=$rate" \
        -f lavfi -i "sine=frequency=440:duration=$duration" \
        -target "$target" "$@" -threads 1 -flags +bitexact -fflags +bitexact "$name.mpg"
}

clip pal_vcd_1s pal-vcd 352x288 25 1
clip ntsc_vcd_1s ntsc-vcd 352x240 30000/1001 1
clip pal_svcd_1s pal-svcd 480x576 25 1 -bf 2
clip ntsc_vcd_bf_1s ntsc-vcd 352x240 30000/1001 1 -bf 2
clip pal_vcd_60s pal-vcd 352x288 25 60
clip ntsc_vcd_60s ntsc-vcd 352x240 30000/1001 60
clip pal_svcd_11s pal-svcd 480x576 25 11
vcdimager -q -t svcd -c vcdimager_11s.cue -b vcdimager_11s.bin pal_svcd_11s.mpg >/dev/null
cat pal_vcd_60s.mpg pal_vcd_1s.mpg > pal_vcd_joined.mpg
cat pal_svcd_11s.mpg pal_svcd_1s.mpg > pal_svcd_joined.mpg
