#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Draws the program's pictures: icon 128 (64 x 64, with transparency) and the same icon at the
# desktop's other sizes, and banner 130 (280 x 60, 24 bits per pixel) with its double-size twin.
# Needs ImageMagick and the WenQuanYi Micro Hei font; the PNGs are committed, so the build never
# runs this.
set -euo pipefail
cd "$(dirname "$0")"
out=.
font=$(fc-match -f '%{file}' 'WenQuanYi Micro Hei')
# icon: one drawing on a 64-unit grid, drawn at any size as RGBA. icon128.png is the 64 x 64 one
# the program carries; hicolor/ holds the sizes a desktop's launchers and menus ask for.
draw_icon() {
  local size=$1 scale
  scale=$(awk -v s="$size" 'BEGIN { printf "%g", s / 64 }')
  convert -size "${size}x${size}" xc:none -draw "scale $scale,$scale
    fill '#1f6fb2' roundrectangle 2,2 61,61 12,12
    fill '#2e8bd6' roundrectangle 2,2 61,40 12,12
    fill white polygon 12,22 31,27 31,52 12,47
    fill white polygon 52,22 33,27 33,52 52,47
    fill '#f5b335' polygon 32,6 44,14 32,18 36,13
    fill '#f5b335' circle 30,13 30,10" \
    -strip -depth 8 PNG32:"$2"
}
draw_icon 64 "$out/icon128.png"
mkdir -p "$out/hicolor"
for size in 16 22 24 32 48 128 256; do
  draw_icon "$size" "$out/hicolor/${size}x${size}.png"
done
# banner: one drawing on a 280 x 60 grid, drawn at a whole-number scale as RGB. banner130.png is
# the 280 x 60 one; banner130@2x.png, 560 x 120, is what a screen of twice the pixel density shows.
draw_banner() {
  local s=$1
  convert -size "$((280 * s))x$((60 * s))" gradient:'#1f6fb2'-'#59a9e8' -rotate 270 \
    -resize "$((280 * s))x$((60 * s))!" \
    -font "$font" -fill white -pointsize $((24 * s)) -annotate "+$((70 * s))+$((30 * s))" 'Larkwend' \
    -pointsize $((13 * s)) -annotate "+$((70 * s))+$((50 * s))" '继续教育学习助手' \
    -fill '#f5b335' -draw "scale $s,$s polygon 14,40 34,16 44,28 56,12 56,44" \
    -strip -depth 8 -type TrueColor PNG24:"$2"
}
draw_banner 1 "$out/banner130.png"
draw_banner 2 "$out/banner130@2x.png"
