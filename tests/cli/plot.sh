#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The figures of sweep --plot: SVG and PDF, rendered by other programs, show
# what the PNG shows at the same size, and the figure carries its titles and
# labelled changes. Exits 77 (skipped) without vistrel-plot or the renderers.
# Usage: plot.sh VISTREL_CLI [VISTREL_PLOT PLOT_COMPARE]
set -u
cli="$1"
plotter="${2:-}"
compare="${3:-}"
if [ -z "$plotter" ] || ! command -v rsvg-convert >/dev/null || ! command -v pdftoppm >/dev/null; then
    echo "SKIP: needs vistrel-plot, rsvg-convert (librsvg2-bin) and pdftoppm (poppler-utils)"
    exit 77
fi
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

case_options=(--mode illuminance --letter_factor 0.8 --background_factor 0.2 --age 40 --letter_height_mm 6
    --ratio 7 --ease "90% confidence")
distance=(--vary viewing_distance_mm=100:3000:10 --illuminance_lux 1076 "${case_options[@]}")
light=(--vary illuminance_lux=0.1:100000:x1.1 --log-x --viewing_distance_mm 750 "${case_options[@]}")
for ext in png svg pdf; do
    "$cli" sweep "${distance[@]}" -o distance.csv --plot "distance.$ext" --plot-size 900x560 ||
        fail "sweep --plot distance.$ext"
    "$cli" sweep "${light[@]}" -o light.csv --plot "light.$ext" || fail "sweep --log-x --plot light.$ext"
done
for name in distance light; do
    rsvg-convert "$name.svg" -o "$name-svg.png" || fail "rsvg-convert cannot read $name.svg"
    pdftoppm -r 96 -singlefile -png "$name.pdf" "$name-pdf" || fail "pdftoppm cannot read $name.pdf"
    for other in svg pdf; do
        "$compare" "$name.png" "$name-$other.png" >"$name.size" ||
            fail "$name.$other does not show what $name.png shows"
    done
done
[ "$(cat distance.size)" = 900x560 ] || fail "--plot-size 900x560 drew $(cat distance.size)"
[ "$(cat light.size)" = 1000x620 ] || fail "the default size is $(cat light.size)"

# The texts are in the SVG as text, where a reviewer can find them.
while IFS='|' read -r file text; do
    # Read as one text: where a caption wraps depends on the font.
    sed 's/\xc2\xa0/ /g' "$file" | grep -o '>[^<]*<' | tr -d '<>' | tr '\n' ' ' | grep -qF -- "$text" ||
        fail "$file lacks \"$text\""
done <<'END'
distance.svg|Viewing distance (mm)
distance.svg|Not legible beyond 2835 mm
distance.svg|Letter HT 6 mm
distance.svg|Ease of reading 90% confidence
light.svg|Illuminance (lux)
light.svg|Legible beyond
light.svg| 100000 
END
grep -qF 'Illuminance 1076' light.svg && fail "the varied input is in the caption"
head -c 5 distance.pdf | grep -q '%PDF-' || fail "distance.pdf is no PDF"
# Texts from the command line cannot break the SVG's markup.
if ! printf '1,1,2,Legible\n' | "$plotter" svg --title '<t>&' --caption '<b>&"x</desc>' --x-title '&<' >markup.svg ||
    ! rsvg-convert markup.svg -o markup.png; then
    fail "markup in texts made an unreadable SVG"
fi

# Each change is labelled halfway between its samples, one digit finer than their spacing.
labels="$(printf '38,1,2,Legible\n39,3,2,Not Legible\n100,1,2,Legible\n100.01,,,\n2000,3,2,Not Legible\n' |
    "$plotter" svg --x-unit mm | grep -o '[A-Za-z ]* beyond [^<]*')"
expected='Not legible beyond 38.5 mm
Legible beyond 70 mm
No verdict beyond 100.005 mm
Not legible beyond 1100 mm'
[ "$labels" = "$expected" ] || fail "change labels: $labels"
# Past the first changes, the rest are drawn as plain lines: still one dashed line each, besides the legend's.
dashed="$(seq 100 | awk '{ print $1 ",1," ($1 % 2 ? "2,Legible" : "0.5,Not Legible") }' | "$plotter" svg |
    grep -c stroke-dasharray)"
[ "$dashed" = 100 ] || fail "99 changes and the legend drew $dashed dashed lines"
# A tornado's numbers read the same under a locale with a decimal comma: every
# bar is drawn from the centre, labelled with its value, unit and margin, and
# the axis's ticks read 0, not a rounding residue such as -2.8e-17.
mkdir locale
if localedef -i de_DE -f UTF-8 locale/de_DE.UTF-8 2>/dev/null; then
    texts="$(printf '0.3\n5.5,-0.5,6.5,0.75,mm,Letter HT\n9,0.6,81,-0.1,,Age, years\n' |
        LOCPATH="$dir/locale" LC_ALL=de_DE.UTF-8 "$plotter" svg --tornado | sed 's/\xc2\xa0/ /g' |
        grep -o '>[^<]*<' | tr -d '<>')"
    for text in 'Letter HT' 'Age, years' '5.5 mm: -0.5' '6.5 mm: 0.75' '9: 0.6' '81: -0.1' '0' \
        'Threshold (margin_log 0)'; do
        grep -qxF -- "$text" <<<"$texts" || fail "the tornado lacks \"$text\""
    done
    grep -q 'e-' <<<"$texts" && fail "a tornado tick reads $(grep 'e-' <<<"$texts" | head -1)"
fi
exit $((failures > 0))
