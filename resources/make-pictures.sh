#!/usr/bin/env bash
# Draws the window pictures (logo and button faces) with ImageMagick. The PNGs
# are checked in; run this only to change them.
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
