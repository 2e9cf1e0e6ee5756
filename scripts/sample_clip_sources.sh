#!/usr/bin/env bash
# Sources for the sample clip writer's tests beyond the committed fixtures,
# made once per build tree (not committed), about 7 MB:
#   pal_vcd_g18_closed.mpg  PAL VCD, GOPs of 18, closed
#   ntsc_vcd_g15_ip.mpg     NTSC VCD, GOPs of 15, no B pictures
#   pal_svcd_g18_ip.mpg     PAL SVCD, GOPs of 18, no B pictures: its audio
#                           lags the video by many sectors, and packets cut
#                           inside the source begin with bytes that read as
#                           a frame header
#   ntsc_svcd_g6.mpg        NTSC SVCD, GOPs of 6, closed
#   restart_pal_vcd.mpg     two PAL VCD clips of 3 and 6 s joined: clock and
#                           time codes start again in the middle
#   restart_short_audio.mpg the same, the first clip's audio ending 1 s
#                           before its video
#   junk_ntsc_vcd.mpg       the NTSC clip with 5000 bytes of junk after it
# Usage: scripts/sample_clip_sources.sh OUT-DIR
set -euo pipefail
out=$1
mkdir -p "$out"
cd "$out"

clip() { # name target size rate seconds [extra ffmpeg options]
    local name=$1 target=$2 size=$3 rate=$4 seconds=$5
    shift 5
    ffmpeg -hide_banner -loglevel error -y -threads 1 \
        -f lavfi -i "testsrc=duration=$seconds:size=$size:rate=$rate" \
        -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=${audio:-$seconds}" \
        -target "$target" "$@" -threads 1 -flags +bitexact -fflags +bitexact "$name.mpg"
}

clip pal_vcd_g18_closed pal-vcd 352x288 25 6 -g 18 -flags +cgop+bitexact -sc_threshold 1000000000
clip ntsc_vcd_g15_ip ntsc-vcd 352x240 30000/1001 5 -g 15 -bf 0
clip pal_svcd_g18_ip pal-svcd 480x576 25 5 -g 18 -bf 0
clip ntsc_svcd_g6 ntsc-svcd 480x480 30000/1001 4 -g 6 -flags +cgop+bitexact -sc_threshold 1000000000
clip part_a pal-vcd 352x288 25 3 -g 12
clip part_b pal-vcd 352x288 25 6 -g 12
audio=2 clip short_a pal-vcd 352x288 25 3 -g 12
cat part_a.mpg part_b.mpg >restart_pal_vcd.mpg
cat short_a.mpg part_b.mpg >restart_short_audio.mpg
rm part_a.mpg part_b.mpg short_a.mpg
cp ntsc_vcd_g15_ip.mpg junk_ntsc_vcd.mpg
perl -e 'srand(7); print map { chr(int(rand(256))) } 1..5000' >>junk_ntsc_vcd.mpg
