#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Opens the design review that vistrel-cli report writes in headless
# Chromium: the page must draw something at desktop and phone width, hold
# every section, keep the markup of its title and input cells as text, and
# fetch nothing.
# Usage: review_browser.sh VISTREL_CLI   (exit 77: skipped; vistrel-plot beside it)
set -u
cli="$1"
if ! command -v chromium >/dev/null; then
    echo "SKIP: chromium is not installed (scripts/install-deps dev installs it)"
    exit 77
fi
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# The browser's own services (updates, time) call out whatever the page
# holds; every host is mapped to nowhere, and only hosts a blank page does not
# name count as the page's.
browse() { # URL NETLOG ARGS...
    local url="$1" log="$2"
    shift 2
    timeout 60 chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --no-first-run --user-data-dir="$dir/profile" \
        --disable-background-networking --disable-component-update --disable-sync --disable-default-apps \
        --host-resolver-rules="MAP * ~NOTFOUND" --log-net-log="$log" "$@" "$url" 2>/dev/null
}
hosts() { grep -o '"url":"[a-z]*://[^/"]*' "$1" 2>/dev/null | sed 's/"url":"//' | sort -u; }
page_requests() { comm -23 <(hosts "$1") <(hosts "$dir/blank.json"); }

# The worked case, and a design whose name and letter height hold markup.
{
    echo 'design,mode,illuminance_lux,letter_factor,background_factor,age,letter_height_mm,viewing_distance_mm,ratio,ease'
    echo 'Cluster speedometer,illuminance,1076,0.8,0.2,40,6,750,7,90% confidence'
    echo '"<script>alert(1)</script> & ""quoted""",illuminance,1076,0.8,0.2,40,6<script>document.title='"'injected'"'</script>,750,7,90'
} >"$dir/designs.csv"
"$cli" report "$dir/designs.csv" -o "$dir/review.html" --title "Design review <script>alert('title')</script>" \
    --profile text-legibility --profile faa-distance --tol age=normal:45:12 --samples 2000 ||
    fail "report could not write the page"

printf '<!DOCTYPE html><title>blank</title>' >"$dir/blank.html"
browse "file://$dir/blank.html" "$dir/blank.json" --dump-dom >/dev/null
# The check must see a request when a page makes one.
printf '<!DOCTYPE html><img src="http://fetch.invalid/x.png">' >"$dir/fetching.html"
browse "file://$dir/fetching.html" "$dir/fetching.json" --dump-dom >/dev/null
page_requests "$dir/fetching.json" | grep -q "fetch.invalid" || fail "the request check missed a page's request"

browse "file://$dir/review.html" "$dir/review.json" --dump-dom >"$dir/dom.html"
requests="$(page_requests "$dir/review.json")"
[ -z "$requests" ] || fail "the page asked for: $requests"
if grep -Eiq '(src|href)="[^#"]|url\([^#)]|@import|://' "$dir/dom.html"; then
    fail "the page names something outside itself: $(grep -Eio '.{20}((src|href)="[^#"]|url\([^#)]|@import|://).{20}' "$dir/dom.html" | head -3)"
fi
grep -qi '<script' "$dir/dom.html" && fail "a <script> element survived"
grep -qF "6&lt;script&gt;document.title='injected'&lt;/script&gt;" "$dir/dom.html" ||
    fail "the cell's markup did not arrive as text"
grep -q "<title>Design review &lt;script&gt;" "$dir/dom.html" || fail "the title was changed or not escaped"

for section in '">Legible by the model' '<caption>Summary</caption>' '<h3>Inputs</h3>' \
    '<h3>Results</h3>' '<h3>Standards</h3>' '<h3>What it would take</h3>' '<h3>Plots</h3>' \
    '<h3>Conditions</h3>' '<h3>Tolerance</h3>' '<h2 class="method">Method</h2>'; do
    grep -qF "$section" "$dir/dom.html" || fail "missing: $section"
done
grep -qF '&lt;script&gt;alert(1)&lt;/script&gt; &amp; "quoted"' "$dir/dom.html" || fail "the design's name is not text"
# Three plots and the tornado of the worked case; the other design has no verdict to plot.
[ "$(grep -o '<svg' "$dir/dom.html" | wc -l)" -eq 4 ] || fail "the plots are not all drawn inline"

# Plot text must render at the size and in the widths the plotter laid it
# out in: on a desktop each figure's title (its largest text) stands as tall
# as its font size asks, and being centred on the drawing, a font of other
# widths moves its middle. A copy of the page, with leave to run this one
# script, measures it.
cat >"$dir/measure.html" <<'END'
<script>
const rows = [];
for (const svg of document.querySelectorAll('figure svg')) {
  const size = t => parseFloat(t.getAttribute('font-size'));
  const title = [...svg.querySelectorAll('text')].reduce((a, b) => (size(b) > size(a) ? b : a));
  const box = title.getBoundingClientRect(), frame = svg.getBoundingClientRect();
  rows.push(((box.left + box.width / 2 - frame.left) / frame.width - 0.5).toFixed(4) + ':' +
            (box.height / size(title)).toFixed(3));
}
const out = document.createElement('pre');
out.id = 'measured';
out.textContent = rows.join(' ');
document.body.append(out);
</script>
END
sed -e 's/<meta http-equiv="Content-Security-Policy"[^>]*>//' -e "/<\/body>/{
r $dir/measure.html
}" "$dir/review.html" >"$dir/measured.html"
offsets="$(browse "file://$dir/measured.html" "$dir/measured.json" --dump-dom --window-size=1280,2000 |
    sed -n 's/.*<pre id="measured">\([^<]*\)<.*/\1/p')"
echo "plot titles off centre (fraction of the width):height over font size: $offsets"
[ "$(wc -w <<<"$offsets")" -eq 4 ] || fail "the plot titles could not be measured"
for measured in $offsets; do
    offset="${measured%:*}" height="${measured#*:}"
    awk -v o="$offset" 'BEGIN { exit !(o < 0.01 && o > -0.01) }' ||
        fail "a plot title is drawn $offset of the width off centre: the plot text is not in the plotter's font"
    # A line of text stands 1.1 to 1.2 times its font size; shrunk with its figure, less.
    awk -v h="$height" 'BEGIN { exit !(h >= 1.05 && h <= 1.3) }' ||
        fail "a plot title stands $height times its font size: the plot text is not at its size"
done

for size in 1280,2000 390,2000; do
    shot="$dir/shot-${size%,*}.png"
    browse "file://$dir/review.html" "$dir/shot.json" --screenshot="$shot" --window-size="$size" >/dev/null
    spread="$(identify -format '%[fx:standard_deviation]' "$shot" 2>/dev/null || echo 0)"
    echo "screenshot at ${size%,*} px: spread $spread"
    awk -v s="$spread" 'BEGIN { exit !(s > 0.05) }' || fail "the page at ${size%,*} px wide is blank (spread $spread)"
done

if [ "$failures" -eq 0 ]; then
    echo "review_browser: 1 passed, 0 failed"
    exit 0
fi
echo "review_browser: 0 passed, 1 failed ($failures checks)"
exit 1
