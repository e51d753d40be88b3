#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The screen command and report --screen: usage errors and statuses, --fail-on,
# the table's CSV and JSON shape, and no output left behind by a bad image or
# regions file. The screens are drawn with ImageMagick and Liberation Sans.
# Usage: screen.sh VISTREL_CLI
set -u
# shellcheck source=rows.sh
source "$(dirname "$0")/rows.sh"
cli="$1"
command -v convert >/dev/null || { echo "ImageMagick is not installed"; exit 77; }
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1
convert -size 640x240 xc:'#101010' -font Liberation-Sans -fill '#f0f0f0' -pointsize 48 -annotate +30+80 'SPEED 88' \
    -pointsize 28 -annotate +30+170 'Range 212 km' screen.png || exit 1
printf 'id,x,y,w,h,label\nspeed,20,30,280,65,Speed\nrange,20,135,220,50,=Range km\n' >regions.csv
printf 'id,x,y,w,h\nbig,600,200,100,100\n' >outside.csv
head -c 200 screen.png >truncated.png
: >empty.png
printf 'design,mode,letter_cdm2,background_cdm2,age,letter_height_mm,viewing_distance_mm,ratio,ease\nd,luminance,100,2,45,5,750,7,90\n' >designs.csv
mkdir out
model='--white-cdm2 300 --black-cdm2 0.5 --pixel-pitch-mm 0.25'
near="--age 45 --viewing_distance_mm 750 --ease 90 $model --regions regions.csv"
far="--age 45 --viewing_distance_mm 90000 --ease 90 $model --regions regions.csv"
failures=0

# STATUS|PHRASE on stderr ("" for none)|ARGS; out/ must stay empty after a status 2.
row_done() {
    if [ "$1" -eq 2 ] && [ -n "$(ls -A out)" ]; then
        echo "FAIL: vistrel-cli $2 left $(ls -A out)"
        failures=$((failures + 1))
        rm -f out/* out/.[!.]*
    fi
}
run_rows <<ROWS
0||screen screen.png -o map.png --table t.csv $near
0||screen screen.png -o far.png --table t.json $far
3|2 of 2 regions fail --fail-on not-legible|screen screen.png -o fail.png $far --fail-on not-legible
0||screen screen.png -o pass.png $near --fail-on not-legible
2|screen does not make|screen screen.png -o out/m.png $near --fail-on required
2|must end in .png|screen screen.png -o out/m.jpg $near
2|name the same file|screen screen.png -o out/m.png --table out/m.png $near
2|--letter_height_mm: the screen measures|screen screen.png -o out/m.png $near --letter_height_mm 5
2|--background_fl: the screen measures|screen screen.png -o out/m.png $near --background_fl 5
2|--mode illuminance: the screen is judged in luminance mode|screen screen.png -o out/m.png $near --mode illuminance
2|missing --viewing_distance_mm|screen screen.png -o out/m.png --age 45 --ease 90 $model
2|--white-cdm2 "0" must be more than 0|screen screen.png -o out/m.png $near --white-cdm2 0
2|--comfortable-margin "x" is not a number|screen screen.png -o out/m.png $near --comfortable-margin x
2|truncated.png|screen truncated.png -o out/m.png --table out/t.csv $near
2|empty.png|screen empty.png -o out/m.png --table out/t.csv $near
2|outside.csv|screen screen.png -o out/m.png --table out/t.csv $near --regions outside.csv
2|missing.png|screen missing.png -o out/m.png $near
2|the table regions.csv would overwrite the input|screen screen.png -o out/m.png --table regions.csv $near
2|the output screen.png would overwrite the input|screen screen.png -o screen.png $near
0||report designs.csv -o r.html --screen screen.png $model --regions regions.csv
2|--regions needs --screen|report designs.csv -o out/r.html --regions regions.csv
2|truncated.png|report designs.csv -o out/r.html --screen truncated.png $model
ROWS

check() { "$@" || { echo "FAIL: $*"; failures=$((failures + 1)); }; }
header='id,label,x,y,w,h,polarity,letter_cdm2,background_cdm2,letter_height_mm,ratio,letter_size_arcmin,threshold_contrast,actual_contrast,margin_log,result,message'
check [ "$(head -n 1 t.csv)" = "$header" ]
check [ "$(wc -l <t.csv)" -eq 3 ]
check grep -q "^range,'=Range km,20,135,220,50,light-on-dark," t.csv
check grep -q ',Legible,' t.csv
check python3 -c '
import json, sys
t = json.load(open("t.json"))
assert [r["id"] for r in t["regions"]] == ["speed", "range"] and t["width"] == 640 and t["mm_per_pixel"] == 0.25
assert all(r["case"]["verdict"] == "Not Legible" and r["case"]["inputs"]["mode"] == "luminance" for r in t["regions"])'
check grep -q 'src="data:image/png;base64,iVBOR' r.html
check grep -q 'data-label="id" class="id">range<' r.html
# Only vistrel-screen loads the image library; vistrel-cli alone says it cannot judge a screen.
check [ -z "$(ldd "$cli" | grep -i opencv)" ]
mkdir alone && cp "$cli" alone/vistrel-cli
err="$(alone/vistrel-cli screen screen.png -o out/m.png $near 2>&1)"
check [ $? -eq 1 ]
check grep -qF 'cannot judge a screen: vistrel-screen' <<<"$err"
check [ -z "$(ls -A out)" ]
for png in map.png far.png fail.png; do check [ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ]; done

if [ "$failures" -eq 0 ]; then
    echo "screen: every row passed"
    exit 0
fi
echo "screen: $failures checks failed"
exit 1
