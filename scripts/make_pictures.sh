#!/usr/bin/env bash
# Draws the pictures of the about and credits windows into app/pictures/
# with ffmpeg (colour plates, boxes and DejaVu Sans text), byte for byte the
# same on every run. Installs nothing: needs ffmpeg and fonts-dejavu-core.
# Usage: scripts/make_pictures.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/app/pictures"
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
bold=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
command -v ffmpeg >/dev/null || { echo "make_pictures: ffmpeg missing" >&2; exit 1; }
[ -r "$font" ] && [ -r "$bold" ] || { echo "make_pictures: DejaVu fonts missing" >&2; exit 1; }
mkdir -p "$out"

# picture NAME WIDTH HEIGHT BACKGROUND FILTERS
picture() {
    ffmpeg -v error -y -f lavfi -i "color=c=$4:s=$2x$3:d=1" -vf "$5,format=yuvj444p" -frames:v 1 \
        -fflags +bitexact -flags:v +bitexact -map_metadata -1 -q:v 2 "$out/$1.jpg"
}
text() {  # TEXT SIZE COLOUR X Y [FONT]
    printf "drawtext=fontfile=%s:text='%s':fontsize=%s:fontcolor=%s:x=%s:y=%s" "${6:-$font}" "$1" "$2" "$3" "$4" "$5"
}

picture about 400 120 0x224a68 "drawbox=x=0:y=88:w=400:h=32:c=0x1a3850:t=fill,$(text Pellmor 44 white 20 18 "$bold"),$(text 'Video CD and Super Video CD toolkit' 14 0xc8d8e8 22 94),$(text v3.56 14 0xffd070 340 40)"
picture socket 56 56 0xd8d8d8 "drawbox=x=4:y=4:w=48:h=48:c=0x909090:t=2,drawbox=x=17:y=18:w=6:h=20:c=0x202020:t=fill,drawbox=x=33:y=18:w=6:h=20:c=0x202020:t=fill"
picture plugged 56 56 0xd8d8d8 "drawbox=x=4:y=4:w=48:h=48:c=0x909090:t=2,drawbox=x=10:y=12:w=36:h=32:c=0x404040:t=fill,drawbox=x=24:y=40:w=8:h=16:c=0x404040:t=fill,drawbox=x=40:y=8:w=8:h=8:c=0x30c030:t=fill"
picture plug 56 40 0xffffff "drawbox=x=12:y=12:w=32:h=28:c=0x404040:t=fill,drawbox=x=17:y=0:w=6:h=12:c=0xa0a0a0:t=fill,drawbox=x=33:y=0:w=6:h=12:c=0xa0a0a0:t=fill"
picture credits_button 56 28 0x224a68 "drawbox=x=0:y=0:w=56:h=28:c=0xffd070:t=1,$(text credits 12 white 7 7)"
picture credits_back 460 250 0x224a68 "drawbox=x=38:y=58:w=384:h=165:c=0xffd070:t=2,$(text 'Pellmor credits' 26 white 40 16 "$bold")"
echo "make_pictures: done"
