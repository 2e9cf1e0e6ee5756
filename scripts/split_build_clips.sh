#!/usr/bin/env bash
# Clips for the builds that split a file over several images, and an SVCD
# image in the forms a conversion reads:
#   pal_vcd.mpg ntsc_vcd.mpg     24 s VCD clips
#   pal_svcd.mpg ntsc_svcd.mpg   30 s SVCD clips with 12-picture GOPs, so that
#                                some GOP sectors also carry a system header
#   odd_packs.mpg                100 packs and 1000 bytes of pal_vcd, then all
#                                of it: past the joint the packs are off the
#                                2324-byte grid of the file
#   svcd.cue/.bin .nrg .cif      vcdimager's SVCD image of pal_svcd.mpg
#   svcd.rip.mpg                 what vcdxrip extracts from svcd.cue
#   short_svcd.mpg               a 0.2 s SVCD clip: shorter than the margins
#                                an nrg or cif track directory allows for
#   svcd2.cue/.bin .nrg .cif     vcdimager's SVCD image of it twice, and
#   svcd2.rip01.mpg .rip02.mpg   what vcdxrip extracts from svcd2.cue
# Too big to commit (about 40 MB in all); the engine tests build them once
# per build tree.
# Usage: scripts/split_build_clips.sh OUT-DIR
set -euo pipefail
tools=$(cd "$(dirname "$0")/fixtures" && pwd)/image_tools.pl
out=$1
mkdir -p "$out"
cd "$out"

clip() { # name target size rate seconds [ffmpeg options]
    local name=$1 target=$2 size=$3 rate=$4 seconds=$5
    shift 5
    ffmpeg -hide_banner -loglevel error -y -threads 1 \
        -f lavfi -i "testsrc=duration=$seconds:size=$size:rate=$rate" \
        -f lavfi -i "sine=frequency=440:duration=$seconds" \
        -target "$target" "$@" -threads 1 -flags +bitexact -fflags +bitexact "$name.mpg"
}

clip pal_vcd pal-vcd 352x288 25 24
clip ntsc_vcd ntsc-vcd 352x240 30000/1001 24
clip pal_svcd pal-svcd 480x576 25 30 -g 12
clip ntsc_svcd ntsc-svcd 480x480 30000/1001 30 -g 12
clip short_svcd ntsc-svcd 480x480 30000/1001 0.2

head -c $((100 * 2324 + 1000)) pal_vcd.mpg > odd_packs.mpg
cat pal_vcd.mpg >> odd_packs.mpg

vcdimager -q -t svcd -l SPLITSVCD -c svcd.cue -b svcd.bin pal_svcd.mpg >/dev/null
perl "$tools" nrg svcd.bin svcd.nrg
perl "$tools" cif svcd.bin svcd.cif
rip=$(mktemp -d "$out/rip.XXXXXX")
(cd "$rip" && vcdxrip -q --nofiles --cue-file="$out/svcd.cue" >/dev/null 2>&1)
mv "$rip/avseq01.mpg" svcd.rip.mpg
rm -rf "$rip"

vcdimager -q -t svcd -l SHORTSVCD -c svcd2.cue -b svcd2.bin short_svcd.mpg short_svcd.mpg >/dev/null
perl "$tools" nrg svcd2.bin svcd2.nrg
perl "$tools" cif svcd2.bin svcd2.cif
rip=$(mktemp -d "$out/rip.XXXXXX")
(cd "$rip" && vcdxrip -q --nofiles --cue-file="$out/svcd2.cue" >/dev/null 2>&1)
mv "$rip/avseq01.mpg" svcd2.rip01.mpg
mv "$rip/avseq02.mpg" svcd2.rip02.mpg
rm -rf "$rip"
