#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Draws the instrument cluster screenshot of docs/screen.md (1920 x 720, as a
# 12.3-inch cluster), with ImageMagick and Liberation Sans, to docs/examples/dashboard.png.
# Usage: docs/dashboard.sh [OUT.png]
set -eu
out="${1:-$(dirname "$0")/examples/dashboard.png}"
font=Liberation-Sans
bold=Liberation-Sans-Bold
convert -size 1920x720 gradient:'#06090d'-'#151c26' \
    -fill '#2a3442' -draw 'roundrectangle 40,560 1880,600 12,12' \
    -size 900x40 gradient:'#1f6f3a'-'#c9a227' -geometry +60+560 -composite \
    -font "$bold" -fill '#f2f4f7' -pointsize 220 -annotate +120+330 '88' \
    -font "$font" -fill '#9aa4b0' -pointsize 44 -annotate +420+330 'km/h' \
    -fill '#e0e4ea' -pointsize 40 -annotate +120+430 'Range 312 km' \
    -fill '#56606c' -pointsize 22 -annotate +120+500 'Trip A 1234.5 km   Avg 6.1 l/100 km' \
    -fill '#ffb000' -draw 'circle 1000,150 1000,180' -fill '#06090d' -pointsize 40 -annotate +991+165 '!' \
    -fill '#ffb000' -pointsize 34 -annotate +1050+163 'Tyre pressure low' \
    -fill '#e8ecf0' -draw 'roundrectangle 1000,240 1800,380 16,16' \
    -fill '#1d2630' -font "$bold" -pointsize 40 -annotate +1040+300 'Turn left in 300 m' \
    -font "$font" -fill '#4a5562' -pointsize 26 -annotate +1040+350 'then Station Road' \
    -fill '#f2f4f7' -pointsize 56 -annotate +1560+110 '14:32' \
    -fill '#3a4450' -pointsize 14 -annotate +1600+660 'ODO 45210 km' \
    -fill none -stroke '#7f8a96' -strokewidth 4 -draw 'roundrectangle 1500,460 1580,500 6,6' \
    -fill '#7f8a96' -draw 'rectangle 1506,466 1550,494' -stroke none \
    -alpha off -depth 8 "$out"
