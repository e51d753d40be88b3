#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Every bad invocation exits 2 with one clear line naming what is wrong, and
# leaves nothing behind.
set -u
cli="$1"
total=$(grep -cE "^expect(_alone)? " "$0")
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1
printf 'mode,age\nnone,40\n' > in.csv
printf 'angle_deg,factor\n0,1\n60,0.5\n' > angular.csv
printf 'angle_deg,factor\n0,1\n10,0.9\n10,0.8\n' > bad-angular.csv
printf 'name,x,y,z\nfront,500,0,0\n' > eyes.csv
ln -s in.csv in-link.html
printf '[[criterion]]\nid = "a"\nquantity = "no_such"\nkind = "minimum"\nlimit = 1\nlevel = "required"\nsource = "x"\n' > bad.toml
printf 'mode = "luminance"\nletter_cdm2 = 50\nbackground_cdm2 = 5\nage = 40\nletter_height_mm = 6\n' > case.toml
printf 'viewing_distance_mm = 750.0\nratio = 7\nease = "90"\n' >> case.toml
printf 'id;mode;letter_cdm2;background_cdm2;age;letter_height_mm;viewing_distance_mm;ratio;ease\n%s\n' \
    'A;luminance;50;5;40;6;750;7;90' > case.csv
printf 'age\n40\n41\n' > two-rows.csv
printf 'age,ratio\n' > no-row.csv
printf 'age = 40\nratio = true\n' > bool.toml
printf 'agee = 40\n' > misspelt.toml
printf 'letter_factor,letter_reflectance\n0.8,0.8\n' > twice.csv
printf 'result\nLegible\n' > result.csv
printf 'mode = "sideways"\n' > mode.toml
mkfifo fifo.csv
head -c 65537 /dev/zero | tr '\0' '#' > big.toml
failures=0

expect() { # STATUS PHRASE ARGS...
    local status="$1" phrase="$2"
    shift 2
    local err
    err="$("$cli" "$@" 2>&1 >/dev/null)"
    local got=$?
    if [ "$got" -ne "$status" ] || ! grep -qF -- "$phrase" <<<"$err"; then
        echo "FAIL: vistrel-cli $* -> status $got, stderr: $err (wanted $status and \"$phrase\")"
        failures=$((failures + 1))
    fi
}

expect 2 "--help" eval --no_such_name 3
# --case FILE: a table or one CSV row under the options; each fault names the file (and line).
expect 0 "" eval --case case.toml
expect 0 "" solve --for age --case case.csv
expect 0 "" tolerance --case case.toml --tol age=+-5 --samples 100
expect 0 "" check --case case.csv --profile text-legibility
expect 1 "" eval --case case.toml --ratio 2
expect 2 "missing --age" eval --case case.toml --age ""
expect 2 "--case missing.toml: cannot read: No such file" eval --case missing.toml
expect 2 "--case .: is a folder" eval --case .
expect 2 "--case fifo.csv: is not a regular file" eval --case fifo.csv
expect 2 "--case big.toml: is larger than 64 KiB, the most a case file may hold" eval --case big.toml
expect 2 "--case two-rows.csv:3: holds more than one row" eval --case two-rows.csv
expect 2 "--case no-row.csv: has no row" solve --for age --case no-row.csv
expect 2 "--case bool.toml:2: ratio must be a number or text, not true or false" eval --case bool.toml
expect 2 '--case misspelt.toml:1: unknown input "agee"; did you mean age?' check --case misspelt.toml --profile x
expect 2 "--case twice.csv:2: letter_factor is given twice" eval --case twice.csv
expect 2 '--case result.csv:1: "result" is a result, not an input' eval --case result.csv
expect 2 '--case mode.toml:1: mode "sideways" must be' eval --case mode.toml
expect 0 "" report --case case.toml -o case.html
expect 2 "give the designs CSV or --case FILE, not both" report in.csv --case case.toml -o case.html
expect 2 "designs is required, or --case FILE" report -o case.html
cp case.csv case.svg
expect 2 "the plot case.svg would overwrite the input case.svg" tolerance --case case.svg --tol age=+-5 --plot case.svg
# Each error points at the help of the command it came from.
expect 2 "Run 'vistrel-cli eval --help'" eval --mode sideways --age 40
expect 2 "Run 'vistrel-cli report --help'" report in.csv
expect 2 "vistrel-cli report: --output is required" report in.csv
# help COMMAND, and a misspelt name in --vary, --for and --tol, as a misspelt option is.
expect 2 'unknown command "evl"; did you mean eval?' help evl
expect 2 "help takes at most one command name" help eval solve
expect 2 '"letter_hieght_mm" is not a numeric input name; did you mean letter_height_mm?' \
    sweep --vary letter_hieght_mm=1:2:1
expect 2 '--for "viewing_distnce_mm" is not a numeric input; did you mean viewing_distance_mm?' \
    solve --for viewing_distnce_mm
expect 2 '"agee" is not a numeric input; did you mean age?' tolerance --tol agee=+-1 --mode luminance \
    --letter_cdm2 50 --background_cdm2 5 --age 40 --letter_height_mm 6 --viewing_distance_mm 750 --ratio 7 --ease 90
expect 2 "--age" eval --age
expect 2 "--mode" eval --mode sideways --age 40
expect 2 "A subcommand is required" 
expect 2 "would overwrite the input" batch in.csv -o in.csv
expect 2 "cannot read missing.csv" batch missing.csv
expect 2 "none of the input columns" batch <(printf 'message\nx\n')
expect 2 "needs a header row" batch <(printf '')
expect 2 "STEP must not be zero" sweep --vary age=10:90:0
expect 2 "Run 'vistrel-cli sweep --help'" sweep --vary age=10:90:0
expect 2 "STEP goes the wrong way" sweep --vary age=10:90:-1
expect 2 "more than 1000000 steps" sweep --vary age=0:2000000:1
expect 2 'TO "x" is not a number' sweep --vary age=0:x:1
expect 2 '"result" is not a numeric input name' sweep --vary result=0:1:1
expect 2 "NAME=FROM:TO:STEP" sweep --vary age
expect 2 "--plot must end in .svg, .png or .pdf" sweep --vary age=10:20:1 --plot out.txt
expect 2 "--for must be" solve --for result
expect 2 "logarithmic grid" solve --for ambient_lux --min 0 --max 10
expect 2 "--min must be below --max" solve --for age --min 50 --max 20
expect 2 "--min and --max must lie within -1e9 and 1e9" solve --for age --min 1e17 --max 1.0000000001e17
expect 2 "at least two steps of 0.01" solve --for age --min 5.001 --max 5.002
expect 2 '--min "0x10" is not a number' solve --for age --min 0x10
expect 2 '--max "inf" is not a number' solve --for age --max inf
expect 2 '"letter_size_arcmin" is not a numeric input name' sweep --vary letter_size_arcmin=1:2:1
expect 2 '"mode" is not a numeric input name' sweep --vary mode=1:2:1
expect 2 "more than 1000000 steps" sweep --vary letter_factor=-1e308:1e308:1
expect 2 "did you mean --letter_height_mm?" eval --letter-hieght-mm 6
expect 2 "unknown option --result" eval --result "Not Legible"
expect 2 "did you mean --for?" solve --fro age
expect 2 "unknown option --threshold_contrast" solve --for age --threshold_contrast 99
expect 2 'unknown command "evl"; did you mean eval?' evl --age 40
expect 2 "Very Easy to Read" eval --ease "very easy"
expect 2 "--delimiter must be , ; or tab, not \"|\"" batch in.csv --delimiter "|"
expect 2 'unknown column "colour" in the header (--keep-unknown' batch <(printf 'colour,age\nred,40\n')
expect 2 'did you mean "letter_factor"?' batch --keep-unknown <(printf 'id,leter_factor\n1,0.2\n')
expect 2 "--plot must end in .svg, .png or .pdf" sweep --vary age=10:20:1 --plot -
expect 2 "--log-x and --plot-size need --plot" sweep --vary age=10:20:1 --log-x
expect 2 "--log-x and --plot-size need --plot" sweep --vary age=10:20:1 --plot-size 800x600
expect 2 "--log-x needs FROM and TO above 0" sweep --vary age=0:20:1 --plot p.svg --log-x
expect 2 "--log-x needs FROM and TO above 0" sweep --vary letter_factor=-1:1:0.5 --plot p.svg --log-x
expect 2 '--plot-size "399x600" must be WxH, each side a whole number of pixels from 400 to 4000' \
    sweep --vary age=10:20:1 --plot p.png --plot-size 399x600
expect 2 '--plot-size "800x4001"' sweep --vary age=10:20:1 --plot p.png --plot-size 800x4001
expect 2 '--plot-size "800.5x600"' sweep --vary age=10:20:1 --plot p.png --plot-size 800.5x600
expect 2 '--plot-size "800X600"' sweep --vary age=10:20:1 --plot p.png --plot-size 800X600
expect 2 '--plot-size "1e308x1e308"' sweep --vary age=10:20:1 --plot p.png --plot-size 1e308x1e308
expect 2 "FROM and TO must be above 0 with xFACTOR" sweep --vary illuminance_lux=0:100:x2
expect 2 "FACTOR goes the wrong way" sweep --vary illuminance_lux=100:1:x2
expect 2 "FACTOR must be above 0 and not 1" sweep --vary illuminance_lux=1:100:x1
expect 2 'FACTOR "2x" is not a number' sweep --vary illuminance_lux=1:100:x2x
expect 2 "more than 1000000 steps" sweep --vary illuminance_lux=1e-300:1e300:x1.000001
expect 2 "--profile is required" check --age 40
expect 2 "--profile no-such: no such profile" check --profile no-such --age 40
expect 2 "missing --mode (input mode: source, illuminance or luminance)" check --profile faa-distance --age 40
expect 2 "--profile no-such: no such profile" batch in.csv --profile no-such
expect 2 "bad.toml" check --profile bad.toml --age 40
expect 2 "designs is required" conditions
expect 2 "--angular applies only in luminance mode" eval --mode illuminance --angular angular.csv
expect 2 "give --angular or --off_axis_factor, not both" eval --mode luminance --off_axis_factor 0.5 --angular angular.csv
expect 2 "--angular missing.csv: cannot read the angular table" solve --for age --angular missing.csv
expect 2 "--angular bad-angular.csv:4: angle_deg 10 does not follow 10" tolerance --tol age=normal:45:12 --angular bad-angular.csv
expect 2 "--eye-points needs --display-centre and --display-normal" conditions in.csv --eye-points eyes.csv --display-centre 0,0,0
expect 2 "--display-centre and --display-normal place the display for --eye-points" report in.csv -o r.html --display-normal 1,0,0
expect 2 '--display-normal "1,0" must be three numbers' conditions in.csv --eye-points eyes.csv --display-centre 0,0,0 --display-normal 1,0
expect 2 "--eye-points eyes.csv:2: eye point \"front\": the eye must be in front" report in.csv -o r.html --eye-points eyes.csv --display-centre 0,0,0 --display-normal -1,0,0
expect 2 'condition "c" sets viewing_distance_mm' conditions in.csv --conditions <(printf 'condition,viewing_distance_mm\nc,500\n') --eye-points eyes.csv --display-centre 0,0,0 --display-normal 1,0,0
expect 2 "cannot read missing.csv" conditions missing.csv
expect 2 'unknown column "colour"' conditions <(printf 'colour,age\nred,40\n')
expect 2 'unknown column "age2"' conditions in.csv --conditions <(printf 'condition,age2\nx,40\n')
expect 2 "no rows" conditions in.csv --conditions <(printf 'condition,ambient_lux\n')
expect 2 "would overwrite the input" conditions in.csv -o in.csv
expect 2 "--tol is required" tolerance --age 40
full=(--mode luminance --letter_cdm2 50 --background_cdm2 5 --age 40 --letter_height_mm 6 --viewing_distance_mm 750
      --ratio 7 --ease 90)
expect 2 '"result" is not a numeric input' tolerance "${full[@]}" --tol result=±1
expect 2 "--tol age is given twice" tolerance "${full[@]}" --tol age=±1 --tol age=normal:3
expect 2 "--tol age=uniform:9:3" tolerance "${full[@]}" --tol age=uniform:9:3
expect 2 "--samples" tolerance --age 40 --tol age=±1 --samples 0
expect 2 "--tol age=sideways" tolerance --age 40 --tol age=sideways
expect 2 "--plot must end in .svg, .png or .pdf" tolerance --age 40 --tol age=±1 --plot t.txt
mapfile -t many < <(for _ in {1..17}; do printf -- '--glare\n1@5\n'; done)
expect 2 '--glare "1-5" is not LUX@DEG' eval "${full[@]}" --glare 1-5
expect 2 '--glare "1@5;2" is not LUX@DEG' eval "${full[@]}" --glare "1@5;2"
expect 2 "--glare and --glare_angle_deg both give glare sources" eval "${full[@]}" --glare 1@5 --glare_angle_deg 5
expect 2 "at most 16 glare sources are allowed" eval "${full[@]}" "${many[@]}"
expect 2 "missing --glare_angle_deg (Glare Angle, deg)" eval "${full[@]}" --glare_lux 1
expect 2 "--for glare_lux: glare_lux lists 2 glare sources" solve --for glare_lux "${full[@]}" --glare 1@5 --glare 1@9
expect 2 "--vary: glare_angle_deg lists 2 glare sources" sweep --vary glare_angle_deg=1:9:1 "${full[@]}" --glare 1@5 --glare 1@9
expect 2 "--tol glare_lux=±1: glare_lux lists 2 glare sources" tolerance "${full[@]}" --glare 1@5 --glare 1@9 --tol glare_lux=±1
expect 2 'did you mean "letter_factor"?' conditions <(printf 'design,leter_factor\nA,0.2\n')
expect 2 'unknown command "chek"; did you mean check?' chek --age 40
expect 2 "did you mean --samples?" tolerance --age 40 --tol age=+-1 --sampels 5
expect 2 "Very Easy to Read" check --profile faa-distance --ease "very easy"
expect 2 "designs is required" report -o r.html
expect 2 "--output is required" report in.csv
expect 2 "-o must end in .html, .htm or .pdf" report in.csv -o r.txt
expect 2 "-o must end in .html, .htm or .pdf" report in.csv -o -
expect 2 "would overwrite the input" report in.csv -o in-link.html
expect 2 "would overwrite the input" report designs.csv --conditions in-link.html -o in-link.html
expect 2 "--profile no-such: no such profile" report in.csv -o r.html --profile no-such
expect 2 "did you mean --title?" report in.csv -o r.html --titel x
expect 2 "--tol age is given twice" report in.csv -o r.html --tol age=±1 --tol age=normal:3
expect 2 "design 1: --tol letter_height_mm=+-10%" report in.csv -o r.html --tol letter_height_mm=+-10%
expect 2 'unknown column "colour"' report <(printf 'colour,age\nred,40\n') -o r.html
expect 2 "no rows" report <(printf 'design,age\n') -o r.html
expect 2 "no rows" report in.csv -o r.html --conditions <(printf 'condition,ambient_lux\n')
expect 1 "cannot write" report in.csv -o missing/r.html
expect 2 "missing --mode (input mode: source, illuminance or luminance), --letter_factor" eval --age 40
expect 2 "missing --mode (input mode: source, illuminance or luminance), --letter_factor" \
    solve --for letter_height_mm --age 40
expect 2 "missing --age (Observer's Age)" tolerance --tol letter_height_mm=±1 "${full[@]:0:6}" "${full[@]:8}"
expect 1 "" eval "${full[@]}" --ratio 2
expect 1 "" sweep --vary age=10:20:5 --ratio 2
# Semicolons, an id column and an ease level's short name, as batch reads them.
expect 0 "" conditions <(printf 'id;mode;illuminance_lux;letter_factor;background_factor;age;letter_height_mm;%s\n%s\n' \
    'viewing_distance_mm;ratio;ease' 'A;illuminance;1076;0.8;0.2;40;6;750;7;90')
expect 0 "" batch --keep-unknown <(printf 'design,age,id\nA,40,1\n')
expect 0 "" eval --mode illuminance --illuminance-lux 1076 --letter_reflectance 0.8 --background-reflectance 0.2 \
    --age 40 --letter_height_mm 6 --viewing_distance_mm=750 --ratio 2 --ratio 7 --ease very-easy
expect 0 "" eval --mode illuminance --illuminance_lux 1076 --letter_factor 0.8 --background_factor 0.2 --age 40 \
    --letter_height_mm 6 --viewing_distance_mm 750 --ratio 7 --ease "90% confidence"
# Seen from an eye point: the three options together, a view they can give, and nothing they fix given again.
seat=(--mode luminance --letter_cdm2 50 --background_cdm2 10 --age 40 --letter_height_mm 6 --ratio 7 --ease 90
      --eye 1750,0,1000 --display-centre 1000,0,1000 --display-normal 0.8660254,0,0.5)
expect 2 "--display-normal is missing" eval "${seat[@]:0:18}"
expect 2 "--eye and --display-centre are missing" tolerance --tol age=±5 "${seat[@]:0:14}" "${seat[@]:18}"
expect 2 "--eye 250,0,1000: the eye must be in front of the display" eval "${seat[@]}" --eye 250,0,1000
expect 2 '--display-centre "1000,0" must be three numbers' check --profile faa-distance "${seat[@]}" --display-centre 1000,0
expect 2 "--view_pan_deg and --eye both give it" eval "${seat[@]}" --view_pan_deg 10
expect 2 "--for viewing_distance_mm: --eye fixes it" solve --for viewing_distance_mm "${seat[@]}"
expect 2 "--vary view_tilt_deg: --eye fixes it" sweep --vary view_tilt_deg=0:60:10 "${seat[@]}"
expect 0 "" sweep --vary age=20:60:10 "${seat[@]}"
"$cli" eval --help | grep -qF "Off-axis Luminance Factor; empty: 1;" || {
    echo "FAIL: the help does not say that an empty off_axis_factor is 1"
    failures=$((failures + 1))
}

# Without its helpers beside it, report still writes a page, without plots,
# and refuses a PDF it cannot make.
mkdir tools && cp "$cli" tools/ && cp -r "$(dirname "$cli")/profiles" tools/
expect_alone() { # STATUS PHRASE ARGS...
    local saved="$cli"
    cli="$dir/tools/vistrel-cli"
    expect "$@"
    cli="$saved"
}
expect_alone 2 "needs vistrel-plot and vistrel-pdf, which are not installed: install the 'vistrel' package" \
    report in.csv -o r.pdf
expect_alone 0 "vistrel-plot is not installed: the report has no plots" report in.csv -o tools/r.html
grep -q "No plots: vistrel-plot is not installed" tools/r.html 2>/dev/null || {
    echo "FAIL: the page without plots does not say why"
    failures=$((failures + 1))
}
# A helper that fails fails the report, and the page it would replace stays.
printf 'design,mode,illuminance_lux,letter_factor,background_factor,age,letter_height_mm,viewing_distance_mm,%s\n%s\n' \
    'ratio,ease' 'A,illuminance,1076,0.8,0.2,40,6,750,7,90' >tools/worked.csv
printf 'old' >tools/kept.html
printf '#!/bin/sh\nexit 3\n' >tools/vistrel-plot && chmod +x tools/vistrel-plot
expect_alone 1 "failed: vistrel-plot ended with exit status 3" report tools/worked.csv -o tools/kept.html
if [ -x "$(dirname "$cli")/vistrel-plot" ]; then
    ln -sf "$(dirname "$cli")/vistrel-plot" tools/vistrel-plot
    printf '#!/bin/sh\ncat >/dev/null; exit 4\n' >tools/vistrel-pdf && chmod +x tools/vistrel-pdf
    printf 'old' >tools/kept.pdf
    expect_alone 1 "writing the PDF tools/kept.pdf failed: vistrel-pdf ended with exit status 4" \
        report tools/worked.csv -o tools/kept.pdf
else
    total=$((total - 1))
fi
for kept in tools/kept.html tools/kept.pdf; do
    [ ! -e "$kept" ] || [ "$(cat "$kept")" = old ] || {
        echo "FAIL: a failed report changed $kept"
        failures=$((failures + 1))
    }
done
[ -z "$(find tools -name '.*')" ] || {
    echo "FAIL: a failed report left a temporary: $(find tools -name '.*')"
    failures=$((failures + 1))
}
rm -rf tools

rm -f big.toml case.toml case.csv case.svg case.html two-rows.csv no-row.csv bool.toml misspelt.toml twice.csv result.csv mode.toml fifo.csv
leftovers=$(ls -A | grep -v '^in.csv$\|^bad.toml$\|^in-link.html$\|^angular.csv$\|^bad-angular.csv$\|^eyes.csv$' || true)
if [ -n "$leftovers" ]; then
    echo "FAIL: files left behind: $leftovers"
    failures=$((failures + 1))
fi
echo "$(( total - failures )) passed, $failures failed"
[ "$failures" -eq 0 ]
