#!/bin/bash
# Makes a demo photo store for trying the station without the parent
# application, inside the given home folder (created when missing):
#   Pictures/KivoPhotos/<today's business day>/<code>/   photos and <code>.xml
#   Desktop/Slideshow_LS.png, Desktop/Slideshow_PRT.png  the overlay frames
#   KivoSlideShow/DemoSlides/demo/                       the demo slides
#   .config/Kivo/KivoSlideShow.plist                     preferences pointing there
# Landscape photos are stored upright; portrait photos are stored sideways with
# a camera orientation tag, as cameras do. Existing files are kept, so running
# it again only adds a new business day. Needs ImageMagick (convert) and the
# DejaVu fonts (fonts-dejavu-core). Every file is dated a few minutes back, so
# the station takes it at once instead of waiting for it to settle.
#
# Usage: make-demo-store.sh HOME_DIR
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: make-demo-store.sh HOME_DIR" >&2; exit 64; }
mkdir -p "$1"
home=$(cd "$1" && pwd)
store="$home/Pictures/KivoPhotos"
demo="$home/KivoSlideShow/DemoSlides"
desk="$home/Desktop"
day=$(date -d '3 hours ago' +%Y-%m-%d) # a business day starts at 03:00
font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
[ -r "$font" ] || { echo "make-demo-store.sh: missing font $font (install fonts-dejavu-core)" >&2; exit 69; }
codes=(1001 1002 1003 A7K2 B3X9)
names=("Ada Lovelace" "Alan Turing" "Grace Hopper" "Edsger Dijkstra" "Barbara Liskov")
colours=("#2a6f97" "#6a994e" "#bc4749" "#7b2cbf" "#e09f3e")

# A camera's orientation tag "turn 90 degrees clockwise to show" (RightTop):
# an APP1 Exif segment holding one big-endian IFD entry 0x0112 = 6.
exif_right_top() {
    printf '\xff\xe1\x00\x22Exif\0\0MM\0*\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0\0\0\0\0'
}

photo() { # path label colour portrait(0/1)
    local tmp="$1.part"
    if [ "$4" = 1 ]; then
        convert -size 1600x2400 "gradient:$3-#101010" -gravity center -fill white \
            -font "$font" -pointsize 140 -annotate +0+0 "$2" -rotate -90 \
            -sampling-factor 4:2:0 -quality 88 "jpg:$1.raw"
        { printf '\xff\xd8'; exif_right_top; tail -c +3 "$1.raw"; } >"$tmp"
        rm -f "$1.raw"
    else
        convert -size 2400x1600 "gradient:$3-#101010" -gravity center -fill white \
            -font "$font" -pointsize 140 -annotate +0+0 "$2" -sampling-factor 4:2:0 -quality 88 "jpg:$tmp"
    fi
    touch -d '10 minutes ago' "$tmp"
    mv "$tmp" "$1"
}

overlay() { # path width height
    [ -s "$1" ] && return 0
    local w=$2 h=$3 bw=$(($2 / 12)) bh=$(($3 / 12))
    convert -size "${w}x${h}" xc:'#1b263b' -alpha set \
        -region "$((w - 2 * bw))x$((h - 3 * bh))+${bw}+${bh}" -alpha transparent +region \
        -fill '#e0e1dd' -font "$font" -gravity south -pointsize $((bh / 2)) -annotate "+0+$((bh / 4))" \
        'Kivo Party Rooms' "$1.part.png"
    mv "$1.part.png" "$1"
}

mkdir -p "$store/$day" "$demo/demo" "$desk" "$home/.config/Kivo"
for i in "${!codes[@]}"; do
    code=${codes[$i]}
    dir="$store/$day/$code"
    mkdir -p "$dir"
    for n in 1 2 3 4; do
        f="$dir/IMG_$((1000 * (i + 1) + n)).jpg"
        [ -s "$f" ] || photo "$f" "$code #$n" "${colours[$i]}" $((n % 2 == 0 ? 1 : 0))
    done
    [ -s "$dir/$code.xml" ] || cat >"$dir/$code.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<data>
  <code>$code</code>
  <name>${names[$i]}</name>
  <email>guest$((i + 1))@example.com</email>
  <room>$((i + 1))</room>
  <date>$day</date>
</data>
XML
done
for n in 1 2 3; do
    f="$demo/demo/demo$n.jpg"
    [ -s "$f" ] || photo "$f" "Welcome $n" "#3a506b" $((n == 2 ? 1 : 0))
done
overlay "$desk/Slideshow_LS.png" 1800 1200
overlay "$desk/Slideshow_PRT.png" 1200 1800

prefs="$home/.config/Kivo/KivoSlideShow.plist"
[ -s "$prefs" ] || cat >"$prefs" <<PLIST
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>prefSlideShowPath</key>
	<string>$store</string>
	<key>prefDemoSlidesPath</key>
	<string>$demo</string>
	<key>prefSearchDemoCodeAtStartup</key>
	<true/>
</dict>
</plist>
PLIST
echo "demo store: $store/$day (codes: ${codes[*]})"
