#!/usr/bin/env bash
# Multi-track images for the seams between tracks: 30 to 90 second clips
# built by vcdimager into two- and three-track images, every source form
# the extraction methods read, vcdxrip's rip of each track as the oracle,
# and damaged copies. Too big to commit; the engine tests build them once
# per build tree.
#
# Images (IMG): pal2 (PAL VCD, 40 s + 30 s), ntsc3 (NTSC VCD, 3 x 30 s),
# svcd2 (PAL SVCD, 30 s + 90 s), nsvcd3 (NTSC SVCD, 8 s + a track of one
# second + 6 s, GOPs of 6, 18 and 15 pictures, the last without B
# pictures; the short track is shorter than the margins an nrg or cif
# track's listed length leaves out), cdi2 (PAL VCD, 6 s + 4 s, with a
# CD-i-like data track: a one-second MPEG file, CDI/CDI_BUM.DAT, in the
# ISO file system before the tracks). Track numbers T count the MPEG
# tracks from 1 (cue track T+1).
#   IMG.cue/.bin/.toc    the image; the bin alone is the bare bin form
#   IMG_2336.cue/.bin    the same with 2336-byte sectors (no sync, no header)
#   IMG.nrg  IMG.cif     image_tools.pl nrg and cif of the bin
#   IMG_tT.raw           the raw sectors of track T's MPEG file
#   IMG_tT_2336.raw      the same with 2336-byte sectors
#   IMG_tT.dat           the raw track with its RIFF/CDXA header
#   IMG_tT_bare.dat      the raw track without a header
#   IMG_tT_mpeg.dat      the rip renamed (an MPEG taken for a dat)
#   IMG_tT.rip.mpg       what vcdxrip extracts from IMG.cue for track T
#   IMG.layout           "T extent sectors first-data last-data" per track
#                        (sectors of the bin; the MPEG file's extent and
#                        length, its first and last sector holding data)
# Damaged copies DMG = IMG_KIND of pal2 and svcd2, each a .cue/.bin/.toc
# (cut, and pal2's margin, also an .nrg and a .cif), one line each in
# damage.list, "DMG IMG lsn offset"
# (the sector and the byte in it that was changed; -1 for a cut):
#   last    payload byte 1000 of the last data sector of track 1
#   margin  payload byte 3 of the empty sector 31 sectors after track 1's
#           data (its rear margin on a VCD, the next track's pregap on an
#           SVCD, which has no margins)
#   next    payload byte 1000 of the first data sector of track 2
#   sync    bit 4 of sync byte 5 of sector 451 (also DMG_t1.raw)
#   cut     the image ends in the middle of its last track's data; the toc
#           still states the whole track
# and ntsc3_blank.cue/.bin/.toc/.nrg/.cif: ntsc3 with every payload of
# track 2's file set to zeros.
#   end     the image ends where its last track's file does, with no gap
#           after it (also an .nrg, whose footer then follows that track's
#           sectors at once, and a .cif); nothing of the tracks is missing
# Usage: scripts/seam_images.sh OUT-DIR
set -euo pipefail
tools=$(cd "$(dirname "$0")/fixtures" && pwd)/image_tools.pl
out=$1
mkdir -p "$out"
cd "$out"
export TZ=UTC

clip() { # name target size rate duration source tone [ffmpeg options]
    ffmpeg -hide_banner -loglevel error -y -threads 1 \
        -f lavfi -i "$6=duration=$5:size=$3:rate=$4" \
        -f lavfi -i "sine=frequency=$7:duration=$5" \
        -target "$2" "${@:8}" -threads 1 -flags +bitexact -fflags +bitexact "$1.mpg"
}

# Sector-level helpers over 2352-byte images.
sectors() { # command args...
    perl -e '
use strict; use warnings;
my $RAW = 2352;
sub slurp { open(my $f, "<:raw", $_[0]) or die "$_[0]: $!\n"; local $/; my $d = <$f>; close $f; $d }
sub spew { open(my $f, ">:raw", $_[0]) or die "$_[0]: $!\n"; print $f $_[1]; close $f or die "$_[0]: $!\n" }
my $cmd = shift;
if ($cmd eq "strip") {        # IN OUT: 2352-byte sectors to 2336 (sync and header dropped)
    my ($in, $out) = @ARGV;
    my $d = slurp($in);
    my $r = "";
    $r .= substr($d, $_ * $RAW + 16, 2336) for 0 .. int(length($d) / $RAW) - 1;
    spew($out, $r);
} elsif ($cmd eq "data") {    # BIN EXTENT COUNT: first and last sector with a non-zero payload
    my ($in, $extent, $count) = @ARGV;
    my $d = slurp($in);
    my ($first, $last) = (-1, -1);
    for my $s ($extent .. $extent + $count - 1) {
        next if substr($d, $s * $RAW + 24, 2324) =~ /^\0*$/;
        $first = $s if $first < 0;
        $last = $s;
    }
    print "$first $last\n";
} elsif ($cmd eq "blank") {   # FILE EXTENT COUNT: the payloads of those sectors set to zeros in place
    my ($file, $extent, $count) = @ARGV;
    open(my $f, "+<:raw", $file) or die "$file: $!\n";
    for my $s ($extent .. $extent + $count - 1) { seek($f, $s * $RAW + 24, 0); print $f "\0" x 2324; }
    close $f or die "$file: $!\n";
} elsif ($cmd eq "xor") {     # FILE OFFSET MASK: one byte changed in place
    my ($file, $at, $mask) = @ARGV;
    open(my $f, "+<:raw", $file) or die "$file: $!\n";
    seek($f, $at, 0); read($f, my $b, 1) == 1 or die "$file: short\n";
    seek($f, $at, 0); print $f chr(ord($b) ^ $mask); close $f or die "$file: $!\n";
} else { die "sectors: $cmd?\n" }
' "$@"
}

# Same date for every build; vcdimager sometimes takes an hour off, which
# does not matter here.
image() { # name type label clips...
    local name=$1 type=$2 label=$3
    shift 3
    vcdimager -q -t "$type" -T "2026-01-01 00:00:00" -l "$label" -c "$name.cue" -b "$name.bin" "$@" >/dev/null
}

# Every form of image NAME with N MPEG tracks, its layout and its rips.
forms() { # name
    local name=$1 t extent count first last rip f
    perl "$tools" toc "$name.cue" "$name.toc"
    sectors strip "$name.bin" "${name}_2336.bin"
    sed -e "s/$name\.bin/${name}_2336.bin/" -e 's#MODE2/2352#MODE2/2336#' "$name.cue" > "${name}_2336.cue"
    perl "$tools" nrg "$name.bin" "$name.nrg"
    perl "$tools" cif "$name.bin" "$name.cif"
    rip=$(mktemp -d "$out/rip.XXXXXX")
    (cd "$rip" && vcdxrip -q --nofiles --cue-file="$out/$name.cue" >/dev/null 2>&1)
    : > "$name.layout"
    t=0
    while read -r _ extent count; do
        t=$((t + 1))
        read -r first last < <(sectors data "$name.bin" "$extent" "$count")
        echo "$t $extent $count $first $last" >> "$name.layout"
        dd if="$name.bin" of="${name}_t$t.raw" bs=2352 skip="$extent" count="$count" status=none
        sectors strip "${name}_t$t.raw" "${name}_t${t}_2336.raw"
        perl "$tools" dat "${name}_t$t.raw" "${name}_t$t.dat"
        ln -f "${name}_t$t.raw" "${name}_t${t}_bare.dat"
        f=$(printf '%s/avseq%02d.mpg' "$rip" "$t")
        [ -s "$f" ] || { echo "vcdxrip extracted no track $t from $name" >&2; exit 1; }
        mv "$f" "${name}_t$t.rip.mpg"
        ln -f "${name}_t$t.rip.mpg" "${name}_t${t}_mpeg.dat"
    done < <(perl "$tools" avseq "$name.bin")
    rm -rf "$rip"
}

# A damaged copy DMG of image NAME: its bin, cue and toc (the toc of the
# whole image, so a cut one still states the full length).
copy() { # name dmg
    cp "$1.bin" "$2.bin"
    sed "s/$1\.bin/$2.bin/" "$1.cue" > "$2.cue"
    sed "s/$1\.bin/$2.bin/" "$1.toc" > "$2.toc"
}

poke() { # name kind lsn payload-offset [nrg-and-cif]
    local dmg=$1_$2
    copy "$1" "$dmg"
    sectors xor "$dmg.bin" $(($3 * 2352 + 24 + $4)) 255
    echo "$dmg $1 $3 $(($3 * 2352 + 24 + $4))" >> damage.list
    if [ -n "${5:-}" ]; then
        perl "$tools" nrg "$dmg.bin" "$dmg.nrg"
        perl "$tools" cif "$dmg.bin" "$dmg.cif"
    fi
}

damage() { # name margin-with-nrg-and-cif
    local name=$1 extent count first last e2 c2 f2 l2 lastt le lc lf ll
    read -r _ extent count first last < <(sed -n 1p "$name.layout")
    read -r _ e2 c2 f2 l2 < <(sed -n 2p "$name.layout")
    poke "$name" last "$last" 1000
    poke "$name" margin $((last + 31)) 3 "$2"
    poke "$name" next "$f2" 1000
    copy "$name" "${name}_sync"
    sectors xor "${name}_sync.bin" $((451 * 2352 + 5)) 16
    echo "${name}_sync $name 451 $((451 * 2352 + 5))" >> damage.list
    dd if="${name}_sync.bin" of="${name}_sync_t1.raw" bs=2352 skip="$extent" count="$count" status=none
    read -r lastt le lc lf ll < <(tail -n 1 "$name.layout")
    copy "$name" "${name}_cut"
    truncate -s $(((lf + (ll - lf) / 2) * 2352)) "${name}_cut.bin"
    perl "$tools" nrg "${name}_cut.bin" "${name}_cut.nrg"
    perl "$tools" cif "${name}_cut.bin" "${name}_cut.cif"
    echo "${name}_cut $name -1 -1" >> damage.list
    copy "$name" "${name}_end"
    truncate -s $(((le + lc) * 2352)) "${name}_end.bin"
    perl "$tools" nrg "${name}_end.bin" "${name}_end.nrg"
    perl "$tools" cif "${name}_end.bin" "${name}_end.cif"
    echo "${name}_end $name -1 -1" >> damage.list
}

clip pal_a pal-vcd 352x288 25 40 testsrc 440 &
clip pal_b pal-vcd 352x288 25 30 smptebars 660 &
clip ntsc_a ntsc-vcd 352x240 30000/1001 30 testsrc 440 &
clip ntsc_b ntsc-vcd 352x240 30000/1001 30 smptebars 660 &
clip ntsc_c ntsc-vcd 352x240 30000/1001 30 testsrc2 880 &
clip svcd_a pal-svcd 480x576 25 30 testsrc 440 &
clip svcd_b pal-svcd 480x576 25 90 smptebars 660 &
clip nsvcd_a ntsc-svcd 480x480 30000/1001 8 testsrc 440 -g 6 &
clip nsvcd_b ntsc-svcd 480x480 30000/1001 1 smptebars 550 -g 18 &
clip nsvcd_c ntsc-svcd 480x480 30000/1001 6 testsrc2 660 -g 15 -bf 0 &
clip cdi_bumper pal-vcd 352x288 25 1 rgbtestsrc 330 &
clip cdi_a pal-vcd 352x288 25 6 testsrc 440 -g 6 &
clip cdi_b pal-vcd 352x288 25 4 smptebars 660 -bf 0 &
wait

image pal2 vcd2 SEAMPAL pal_a.mpg pal_b.mpg
image ntsc3 vcd2 SEAMNTSC ntsc_a.mpg ntsc_b.mpg ntsc_c.mpg
image svcd2 svcd SEAMSVCD svcd_a.mpg svcd_b.mpg
image nsvcd3 svcd SEAMNSVCD nsvcd_a.mpg nsvcd_b.mpg nsvcd_c.mpg
image cdi2 vcd2 SEAMCDI --add-dir=CDI --add-file=cdi_bumper.mpg,CDI/CDI_BUM.DAT cdi_a.mpg cdi_b.mpg
rm -f ./*.mpg

: > damage.list
forms pal2 &
forms ntsc3 &
forms svcd2 &
forms nsvcd3 &
forms cdi2 &
wait
damage pal2 yes &
damage svcd2 "" &
wait

# ntsc3 with every payload of its second track's file set to zeros: a track
# without a stream between two whole ones.
read -r _ e2 c2 _ _ < <(sed -n 2p ntsc3.layout)
copy ntsc3 ntsc3_blank
sectors blank ntsc3_blank.bin "$e2" "$c2"
perl "$tools" nrg ntsc3_blank.bin ntsc3_blank.nrg
perl "$tools" cif ntsc3_blank.bin ntsc3_blank.cif
