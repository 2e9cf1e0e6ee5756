#!/usr/bin/env bash
# Two-track images (two different clips) built by vcdimager, and damaged
# copies of them, for the tests of extraction from damaged sources. For each
# disc NAME (pal_vcd, ntsc_vcd, svcd):
#   NAME_1.rip.mpg NAME_2.rip.mpg  what vcdxrip extracts from the undamaged image
#   NAME.cue/.bin NAME.toc   the image with bit 4 of byte 451 x 2352 + 5 (the
#                            sync of the second sector of the first MPEG
#                            track) flipped
#   NAME.raw                 that track, damaged sync and all
#   NAME_2336.bin            the undamaged image as bare 2336-byte sectors
#   NAME_cut.bin/.cue/.toc   the undamaged image cut in the middle of its last
#                            track (the toc keeps the length of the whole one)
#   NAME_cut.nrg NAME_cut.cif  the same image converted, then cut there too
#   NAME_tail.bin/.cue/.toc/.nrg/.cif  the same, cut 60 sectors before the
#                            end of the last track's file
#   NAME_last.cif            the cif without the last sector of that file
#   NAME.cut                 "sector-in-image sector-count" of the last
#                            track's file and the sector the cut falls on
# and junk.mpg: the first SVCD clip (its stream holds no empty sectors) with
# 5000 bytes of junk after its last pack.
# Too big to commit (about 200 MB in all); the engine tests build them at
# run time.
# Usage: scripts/damaged_images.sh OUT-DIR [seconds, default 30]
set -euo pipefail
tools=$(cd "$(dirname "$0")/fixtures" && pwd)/image_tools.pl
out=$1
seconds=${2:-30}
mkdir -p "$out"
cd "$out"

clip() { # name target size rate duration source frequency
    ffmpeg -hide_banner -loglevel error -y -threads 1 \
        -f lavfi -i "$6=duration=$5:size=$3:rate=$4" \
        -f lavfi -i "sine=frequency=$7:duration=$5" \
        -target "$2" -threads 1 -flags +bitexact -fflags +bitexact "$1.mpg"
}

# Cuts FILE to BYTES bytes.
cut_to() { truncate -s "$2" "$1"; }

forms() { # name vcdimager-type
    local name=$1 rip extent count cut
    vcdimager -q -t "$2" -l DAMAGED -c "$name.cue" -b "$name.bin" "${name}_a.mpg" "${name}_b.mpg" >/dev/null
    rm "${name}_a.mpg" "${name}_b.mpg"
    rip=$(mktemp -d "$out/rip.XXXXXX")
    (cd "$rip" && vcdxrip -q --nofiles --cue-file="$out/$name.cue" >/dev/null 2>&1)
    mv "$rip/avseq01.mpg" "${name}_1.rip.mpg"
    mv "$rip/avseq02.mpg" "${name}_2.rip.mpg"
    rm -rf "$rip"

    # Cut halfway into the last track's file, on a sector boundary.
    read -r _ extent count < <(perl "$tools" avseq "$name.bin" | tail -n 1)
    cut=$((extent + count / 2))
    echo "$extent $count $cut" > "$name.cut"
    perl -pe "s/\"$name.bin\"/\"${name}_cut.bin\"/" "$name.cue" > "${name}_cut.cue"
    perl "$tools" toc "$name.cue" "${name}_cut.toc.tmp"
    perl -pe "s/\"$name.bin\"/\"${name}_cut.bin\"/" "${name}_cut.toc.tmp" > "${name}_cut.toc"
    rm "${name}_cut.toc.tmp"
    cp "$name.bin" "${name}_cut.bin"
    cut_to "${name}_cut.bin" $((cut * 2352))
    perl "$tools" nrg "$name.bin" "${name}_cut.nrg"
    cut_to "${name}_cut.nrg" $(((cut + 150) * 2336))
    perl "$tools" cif "$name.bin" "${name}_cut.cif"
    cut_to "${name}_cut.cif" $((2 * 2332 + cut * 2332))

    # Cut 60 sectors before the end of the last track's file: inside its
    # data, within the 150 sectors an nrg holds in front of its first one.
    local tail=$((extent + count - 60)) f
    for f in cue toc; do
        perl -pe "s/_cut\.bin/_tail.bin/" "${name}_cut.$f" > "${name}_tail.$f"
    done
    cp "$name.bin" "${name}_tail.bin"
    cut_to "${name}_tail.bin" $((tail * 2352))
    perl "$tools" nrg "$name.bin" "${name}_tail.nrg"
    cut_to "${name}_tail.nrg" $(((tail + 150) * 2336))
    perl "$tools" cif "$name.bin" "${name}_tail.cif"
    cut_to "${name}_tail.cif" $((2 * 2332 + tail * 2332))
    # And a cif without the last sector of that file (on an SVCD, which has
    # no margins, its last data sector).
    perl "$tools" cif "$name.bin" "${name}_last.cif"
    cut_to "${name}_last.cif" $((2 * 2332 + (extent + count - 1) * 2332))

    perl -e 'open(my $i, "<:raw", $ARGV[0]) or die; open(my $o, ">:raw", $ARGV[1]) or die;
             while (read($i, my $s, 2352)) { print $o substr($s, 16, 2336); }' "$name.bin" "${name}_2336.bin"

    # One flipped bit in one sync field; the raw track keeps the damage.
    perl -e 'open(my $f, "+<:raw", $ARGV[0]) or die; my $at = 451 * 2352 + 5;
             seek($f, $at, 0); read($f, my $b, 1); seek($f, $at, 0); print $f chr(ord($b) ^ 0x10);
             close $f or die;' "$name.bin"
    perl "$tools" toc "$name.cue" "$name.toc"
    read -r _ extent count < <(perl "$tools" avseq "$name.bin" | head -n 1)
    dd if="$name.bin" of="$name.raw" bs=2352 skip="$extent" count="$count" status=none
}

clip pal_vcd_a pal-vcd 352x288 25 "$seconds" testsrc 440
clip pal_vcd_b pal-vcd 352x288 25 "$seconds" smptebars 660
clip ntsc_vcd_a ntsc-vcd 352x240 30000/1001 "$seconds" testsrc 440
clip ntsc_vcd_b ntsc-vcd 352x240 30000/1001 "$seconds" smptebars 660
clip svcd_a pal-svcd 480x576 25 "$seconds" testsrc 440
clip svcd_b pal-svcd 480x576 25 "$seconds" smptebars 660
cp svcd_a.mpg junk.mpg
perl -e 'srand(7); print map { chr(int(rand(256))) } 1 .. 5000' >> junk.mpg
forms pal_vcd vcd2
forms ntsc_vcd vcd2
forms svcd svcd
