#!/usr/bin/env bash
# Draws the program's pictures: icon 128 (64 x 64, with transparency) and banner 130
# (280 x 60, 24 bits per pixel). Needs ImageMagick and the WenQuanYi Micro Hei font; the PNGs are
# committed, so the build never runs this.
set -euo pipefail
cd "$(dirname "$0")"
out=.
font=$(fc-match -f '%{file}' 'WenQuanYi Micro Hei')
# icon: 64x64 RGBA
convert -size 64x64 xc:none \
  -fill '#1f6fb2' -draw 'roundrectangle 2,2 61,61 12,12' \
  -fill '#2e8bd6' -draw 'roundrectangle 2,2 61,40 12,12' \
  -fill white -draw 'polygon 12,22 31,27 31,52 12,47' \
  -fill white -draw 'polygon 52,22 33,27 33,52 52,47' \
  -fill '#f5b335' -draw 'polygon 32,6 44,14 32,18 36,13' \
  -fill '#f5b335' -draw 'circle 30,13 30,10' \
  -strip -depth 8 PNG32:"$out/icon128.png"
# banner: 280x60 RGB
convert -size 280x60 gradient:'#1f6fb2'-'#59a9e8' -rotate 270 -resize 280x60! \
  -font "$font" -fill white -pointsize 24 -annotate +70+30 'Larkwend' \
  -pointsize 13 -annotate +70+50 '继续教育学习助手' \
  -fill '#f5b335' -draw 'polygon 14,40 34,16 44,28 56,12 56,44' \
  -strip -depth 8 -type TrueColor PNG24:"$out/banner130.png"
