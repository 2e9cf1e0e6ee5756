#!/usr/bin/env bash
# Clips whose streams hold empty (all-zero) sectors in the middle, as
# ffmpeg's VCD muxer writes them, built by vcdimager into cue/bin images and
# turned into every source form the extraction methods read: toc, nrg, cif,
# the raw track and the dat file of the first MPEG track. For each clip NAME:
#   NAME.mpg  NAME.cue/.bin  NAME.toc  NAME.nrg  NAME.cif  NAME.raw  NAME.dat
#   NAME.empty   the empty sectors of the clip (image_tools.pl empty)
#   NAME.rip.mpg what vcdxrip extracts from NAME.cue
# Too big to commit (about 60 MB in all); the engine tests build them at
# run time and the bench repeats them.
# Usage: scripts/empty_sector_images.sh OUT-DIR [seconds, default 40]
set -euo pipefail
tools=$(cd "$(dirname "$0")/fixtures" && pwd)/image_tools.pl
out=$1
seconds=${2:-40}
mkdir -p "$out"
cd "$out"

clip() { # name target size rate duration
    ffmpeg -hide_banner -loglevel error -y -threads 1 \
        -f lavfi -i "testsrc=duration=$5:size=$3:rate=$4" \
        -f lavfi -i "sine=frequency=440:duration=$5" \
        -target "$2" -threads 1 -flags +bitexact -fflags +bitexact "$1.mpg"
}

forms() { # name vcdimager-type
    local name=$1 extent count
    vcdimager -q -t "$2" -l EMPTYSEC -c "$name.cue" -b "$name.bin" "$name.mpg" >/dev/null
    perl "$tools" toc "$name.cue" "$name.toc"
    perl "$tools" nrg "$name.bin" "$name.nrg"
    perl "$tools" cif "$name.bin" "$name.cif"
    read -r _ extent count < <(perl "$tools" avseq "$name.bin" | head -n 1)
    dd if="$name.bin" of="$name.raw" bs=2352 skip="$extent" count="$count" status=none
    perl "$tools" dat "$name.raw" "$name.dat"
    perl "$tools" empty "$name.mpg" > "$name.empty"
    local rip
    rip=$(mktemp -d "$out/rip.XXXXXX")
    (cd "$rip" && vcdxrip -q --nofiles --cue-file="$out/$name.cue" >/dev/null 2>&1)
    mv "$rip/avseq01.mpg" "$name.rip.mpg"
    rm -rf "$rip"
}

# ffmpeg's VCD muxer writes an empty sector about every 1480 sectors.
clip pal_vcd pal-vcd 352x288 25 "$seconds"
clip ntsc_vcd ntsc-vcd 352x240 30000/1001 "$seconds"
# Its SVCD muxer writes none: put three in, one alone and a run of two.
clip svcd_plain pal-svcd 480x576 25 $((seconds / 2))
perl "$tools" zeros svcd_plain.mpg svcd.mpg 300 700 700
rm svcd_plain.mpg
forms pal_vcd vcd2
forms ntsc_vcd vcd2
forms svcd svcd
