#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the PDF of a design review with vistrel-cli report and reads it back
# with poppler: A4 pages, each numbered "N of M" and neither blank nor
# holding a lone line, no heading left at a page's foot, the verdicts and
# every criterion id as text, a screen's map placed as a picture, the same
# bytes again under SOURCE_DATE_EPOCH;
# and puts it in place without harming what the path named before.
# Usage: review_pdf.sh VISTREL_CLI PROFILES_DIR   (exit 77: skipped; the helpers beside it)
set -u
cli="$1" profiles="$2"
for tool in pdftoppm pdftotext pdfinfo pdfimages identify; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed (scripts/install-deps dev installs it)"
        exit 77
    fi
done
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# The worked case, and a design whose letter height holds markup.
{
    echo 'design,mode,illuminance_lux,letter_factor,background_factor,age,letter_height_mm,viewing_distance_mm,ratio,ease'
    echo 'Cluster speedometer,illuminance,1076,0.8,0.2,40,6,750,7,90% confidence'
    echo 'Marked up,illuminance,1076,0.8,0.2,40,6<script>document.title='"'injected'"'</script>,750,7,90'
} >"$dir/designs.csv"
report() { "$cli" report "$dir/designs.csv" --profile text-legibility --profile faa-distance \
    --tol age=normal:45:12 --samples 2000 "$@"; }
report -o "$dir/review.pdf" || fail "report could not write the PDF"
report -o "$dir/review.html" || fail "report could not write the page"
pdftotext -layout "$dir/review.pdf" "$dir/review.txt" || fail "pdftotext cannot read the PDF"

# laidOut PDF N PAGES: page N ends in "N of PAGES", not after a heading, and holds more than a line.
laidOut() {
    local text foot pictures
    text="$(pdftotext -layout -f "$2" -l "$2" "$1" - | sed 's/^ *//; s/ *$//; s/\f//' | grep -v '^$')"
    [ "$(tail -1 <<<"$text")" = "$2 of $3" ] || fail "$1 page $2 ends in \"$(tail -1 <<<"$text")\", not \"$2 of $3\""
    foot="$(tail -2 <<<"$text" | head -1)"
    grep -qxF -- "$foot" <<<"$headings" && fail "$1 page $2 ends with the heading \"$foot\""
    pictures="$(pdfimages -list -f "$2" -l "$2" "$1" | tail -n +3 | wc -l)"
    [ "$(wc -l <<<"$text")" -gt 2 ] || [ "$pictures" -gt 0 ] || fail "$1 page $2 holds a single line: $text"
}
pages="$(pdfinfo "$dir/review.pdf" | awk '/^Pages:/ { print $2 }')"
headings="$(printf '%s\n' "Cluster speedometer" "Marked up" Summary Document Revisions Inputs Results Standards \
    "What it would take" Plots Conditions Tolerance Method)"
grep -q '^Page size: *595\(\.[0-9]*\)\? x 842' <(pdfinfo "$dir/review.pdf") || fail "the pages are not A4"
# The first design with its checks, plots and tolerance, the second design, and the method.
[ "${pages:-0}" -ge 5 ] && [ "${pages:-0}" -le 12 ] || fail "$pages pages"
pdftoppm -r 30 -png "$dir/review.pdf" "$dir/page" || fail "pdftoppm cannot draw the PDF"
[ "$(find "$dir" -name 'page-*.png' | wc -l)" -eq "${pages:-0}" ] || fail "pdftoppm drew a different number of pages"
for n in $(seq 1 "${pages:-0}"); do
    png="$(find "$dir" -name "page-*$n.png" | sort | head -1)"
    spread="$(identify -format '%[fx:standard_deviation]' "$png" 2>/dev/null || echo 0)"
    lines="$(pdftotext -layout -f "$n" -l "$n" "$dir/review.pdf" - | tr -d ' \f' | grep -vc '^$')"
    # A page with little on it is pale: blank means pale with no text but its number.
    awk -v s="$spread" -v l="$lines" 'BEGIN { exit !(s > 0.02 || (s > 0.002 && l > 1)) }' || fail "page $n is blank"
    laidOut "$dir/review.pdf" "$n" "$pages"
done
# One design alone, which once left its last heading at a page's foot and a lone line on the page after.
head -2 "$dir/designs.csv" >"$dir/one.csv"
"$cli" report "$dir/one.csv" -o "$dir/one.pdf" || fail "report could not write the PDF of one design"
onePages="$(pdfinfo "$dir/one.pdf" | awk '/^Pages:/ { print $2 }')"
for n in $(seq 1 "${onePages:-0}"); do
    laidOut "$dir/one.pdf" "$n" "$onePages"
done

# A screen's map is a picture held in the page: the PDF places it, and its regions' table.
convert -size 640x240 xc:'#101010' -font Liberation-Sans -fill '#f0f0f0' -pointsize 48 -annotate +30+80 'SPEED 88' \
    "$dir/screen.png" || fail "convert could not draw a screen"
printf 'id,x,y,w,h\nspeed,20,30,280,65\n' >"$dir/regions.csv"
"$cli" report "$dir/one.csv" -o "$dir/screen.pdf" --screen "$dir/screen.png" --regions "$dir/regions.csv" \
    --white-cdm2 300 --black-cdm2 0.5 --pixel-pitch-mm 0.25 || fail "report could not write the PDF of a screen"
screenPages="$(pdfinfo "$dir/screen.pdf" | awk '/^Pages:/ { print $2 }')"
for n in $(seq 1 "${screenPages:-0}"); do
    laidOut "$dir/screen.pdf" "$n" "$screenPages"
done
pdftotext "$dir/screen.pdf" "$dir/screen.txt"
grep -q "Screen: screen.png" "$dir/screen.txt" && grep -qw speed "$dir/screen.txt" ||
    fail "the PDF of a screen lacks its heading or its region"
# The design's own plots and one picture more, the map; each within the text's 6.5 inches.
pictures() { pdfimages -list "$1" | tail -n +3 | wc -l; }
[ "$(pictures "$dir/screen.pdf")" -eq $(($(pictures "$dir/one.pdf") + 1)) ] ||
    fail "the PDF of a screen holds no map: $(pdfimages -list "$dir/screen.pdf")"
pdfimages -list "$dir/screen.pdf" | awk 'NR > 2 && $4 / $13 > 6.5 { exit 1 }' ||
    fail "a picture is wider than the page's text: $(pdfimages -list "$dir/screen.pdf")"

for text in "Legible by the model" "Margin 1.052 log units" "No verdict" "Letter HT in mm is not a number." \
    "6<script>document.title='injected'</script>" "Method" "not a certification"; do
    grep -qF -- "$text" "$dir/review.txt" || fail "missing text: $text"
done
for id in $(sed -n 's/^id = "\(.*\)"/\1/p' "$profiles/text-legibility.toml" "$profiles/faa-distance.toml"); do
    grep -qF -- "$id" "$dir/review.txt" || fail "missing criterion: $id"
done

# Reproducible: the same page under SOURCE_DATE_EPOCH is the same PDF, dated then.
SOURCE_DATE_EPOCH=1767225600 report -o "$dir/again1.pdf" && sleep 1 &&
    SOURCE_DATE_EPOCH=1767225600 report -o "$dir/again2.pdf" || fail "report could not write the PDF again"
cmp -s "$dir/again1.pdf" "$dir/again2.pdf" || fail "two PDFs of one page under SOURCE_DATE_EPOCH differ"
pdfinfo "$dir/again1.pdf" | grep -q '^CreationDate: *Thu Jan  1 00:00:00 2026' ||
    fail "the PDF is not dated by SOURCE_DATE_EPOCH: $(pdfinfo "$dir/again1.pdf" | grep CreationDate)"

# Where the PDF goes: a file keeps its mode, a link stays a link, a FIFO is
# written into, a full device reports the failure, and nothing is left beside.
mkdir "$dir/out"
printf 'old' >"$dir/out/private.pdf" && chmod 600 "$dir/out/private.pdf"
report -o "$dir/out/private.pdf" || fail "cannot replace a file"
[ "$(stat -c %a "$dir/out/private.pdf")" = 600 ] || fail "the replaced file lost its mode"
printf 'old' >"$dir/out/target.pdf" && ln -s target.pdf "$dir/out/link.pdf"
report -o "$dir/out/link.pdf" || fail "cannot write through a link"
[ -L "$dir/out/link.pdf" ] && head -c 4 "$dir/out/target.pdf" | grep -q '%PDF' || fail "the link was replaced"
mkfifo "$dir/out/fifo.pdf"
head -c 4 "$dir/out/fifo.pdf" >"$dir/fifo.head" &
reader=$!
report -o "$dir/out/fifo.pdf" 2>/dev/null
wait "$reader"
[ -p "$dir/out/fifo.pdf" ] && grep -q '%PDF' "$dir/fifo.head" || fail "the FIFO was not written into, or was replaced"
ln -s /dev/full "$dir/out/full.pdf"
if err="$(report -o "$dir/out/full.pdf" 2>&1)"; then
    fail "a report to /dev/full reported success"
fi
grep -q "No space left on device" <<<"$err" || fail "no reason for /dev/full: $err"
[ -c /dev/full ] || fail "/dev/full is no longer a device"
report -o "$dir/missing/x.pdf" 2>/dev/null && fail "a report into a missing folder reported success"
[ -z "$(find "$dir/out" -name '.*.XXXXXX' -o -name '.*.pdf.*')" ] || fail "a temporary was left behind"

if [ "$failures" -eq 0 ]; then
    echo "review_pdf: 1 passed, 0 failed ($pages pages)"
    exit 0
fi
echo "review_pdf: 0 passed, 1 failed ($failures checks)"
exit 1
