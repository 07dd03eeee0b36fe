#!/usr/bin/env bash
# Draws the window pictures (logo and button faces) and the program's desktop
# icons with ImageMagick. The PNGs are checked in; run this only to change them.
set -euo pipefail
cd "$(dirname "$0")/pictures"
im=convert-im6.q16
command -v "$im" >/dev/null || im=convert
font=/usr/share/fonts/opentype/noto/NotoSansCJK-Bold.ttc

# Logo: a sail over waves on a sea-blue tile.
"$im" -size 72x68 xc:none \
  \( -size 72x68 gradient:'#1f6fd1'-'#0b3d7a' \) -compose over -composite \
  \( -size 72x68 xc:none -fill white -draw "roundrectangle 0,0 71,67 12,12" \) \
  -compose DstIn -composite \
  -fill '#ffffff' -stroke none -draw "polygon 37,10 37,44 58,44" \
  -fill '#cfe6ff' -draw "polygon 34,16 34,44 18,44" \
  -fill '#f4b400' -draw "polygon 14,47 60,47 53,55 21,55" \
  -stroke '#9fd0ff' -strokewidth 2 -fill none -draw "bezier 6,61 18,56 24,66 36,61" \
  -draw "bezier 36,61 48,56 54,66 66,61" \
  logo.png

# Button faces: normal, hover, pressed, disabled.
face() {
  local name=$1 top=$2 bottom=$3 border=$4
  # A gradient has no alpha channel of its own: without one, DstIn leaves
  # the cut-off corners black instead of transparent.
  "$im" -size 188x65 gradient:"$top"-"$bottom" -alpha set \
    \( -size 188x65 xc:none -fill white -draw "roundrectangle 0,0 187,64 10,10" \) \
    -compose DstIn -composite -compose over \
    -fill none -stroke "$border" -strokewidth 2 -draw "roundrectangle 1,1 186,63 10,10" \
    "button-$name.png"
}
face normal '#4aa3ff' '#1565c0' '#0d47a1'
face hover '#6fb8ff' '#1e7be0' '#0d47a1'
face pressed '#1565c0' '#0d47a1' '#08306b'
face disabled '#d5d9de' '#aab1b9' '#8d949c'

# The program's icon for the desktop (hicolor theme, packaging/icons): the
# logo's sail and waves on a square tile, drawn at each size.
icon() {
  local size=$1 s
  s=$(awk "BEGIN { printf \"%.4f\", $size / 72 }")
  # Everything on the tile first, then the rounded corners cut out of it all.
  "$im" -size "${size}x${size}" gradient:'#1f6fd1'-'#0b3d7a' -alpha set \
    -fill '#ffffff' -stroke none -draw "affine $s,0,0,$s,0,0 polygon 38,11 38,46 60,46" \
    -fill '#cfe6ff' -draw "affine $s,0,0,$s,0,0 polygon 35,17 35,46 18,46" \
    -fill '#f4b400' -draw "affine $s,0,0,$s,0,0 polygon 13,49 61,49 54,57 20,57" \
    -draw "affine $s,0,0,$s,0,0 fill none stroke #9fd0ff stroke-width 2.5 \
           path 'M 7,63 C 19,58 25,68 37,63 C 49,58 55,68 67,63'" \
    \( -size "${size}x${size}" xc:none -fill white \
       -draw "affine $s,0,0,$s,0,0 roundrectangle 2,2 69,69 14,14" \) \
    -compose DstIn -composite -strip "../../packaging/icons/${size}.png"
}
mkdir -p ../../packaging/icons
for size in 48 64 128 256; do
  icon "$size"
done
