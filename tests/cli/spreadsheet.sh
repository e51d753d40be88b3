#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Tables from and for spreadsheets: ';' with decimal commas read as numbers,
# tables written with another separator, decimal commas and a byte order mark
# read back to the same numbers, and mixes no table can take refused.
# Usage: spreadsheet.sh VISTREL_CLI
set -u
cli="$(realpath "$1")"
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1
failures=0
cases=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
bom=$'\xef\xbb\xbf'
header='mode,illuminance_lux,letter_factor,background_factor,age,viewing_distance_mm,letter_height_mm,ratio,ease'
printf '%s\nilluminance,1076,0.25,0.2,60,750,6,7,90\nilluminance,1076,0.8,0.2,35.5,750,6,7,90\n' "$header" >in.csv
tr ',' ';' <in.csv >semi.csv
tr ',.' ';,' <in.csv >de.csv
tr ',' '\t' <in.csv >tab.csv
tr ',.' '\t,' <in.csv >tab-de.csv
{ printf '%s' "$bom" && cat de.csv; } >de-bom.csv
sed 's/0\.25/"0,25"/; s/0\.2,/"0,2",/; s/0\.8/"0,8"/; s/35\.5/"35,5"/' in.csv >comma-quoted.csv
sed 's/^/A;/; 1s/^A;/design;/' de.csv >designs-de.csv
case_options="--mode illuminance --illuminance_lux 1076 --letter_factor 0.25 --background_factor 0.2 --age 60 \
--letter_height_mm 6 --ratio 7 --ease 90"
"$cli" batch in.csv >expected.csv

# COMMAND|HOLDS: stdout of COMMAND holds HOLDS, or is the same as file HOLDS when it names one.
while IFS='|' read -r command holds; do
    cases=$((cases + 1))
    eval "$command" >out.txt 2>err.txt
    if [ -f "$holds" ]; then
        cmp -s out.txt "$holds" || fail "$command -> differs from $holds: $(diff out.txt "$holds" | head -4)"
    elif ! grep -qF -- "$holds" out.txt; then
        fail "$command -> the output lacks $holds: $(head -c 300 out.txt; cat err.txt)"
    fi
done <<END
"$cli" batch semi.csv|expected.csv
"$cli" batch tab.csv|expected.csv
"$cli" batch --delimiter tab tab.csv|expected.csv
"$cli" batch --delimiter tab tab-de.csv|expected.csv
"$cli" batch de.csv|expected.csv
"$cli" batch de-bom.csv|expected.csv
"$cli" batch --decimal , --output-delimiter ';' de.csv|;0,25;0,2;60;750;
"$cli" batch --decimal , --output-delimiter tab comma-quoted.csv|	0,25	0,2	60	750	
"$cli" batch --decimal . de.csv|,"0,25","0,2",60,750,6,7,90% confidence,0.0,,,,,,,,,Background Reflectance
"$cli" conditions designs-de.csv -o -|A,night,illuminance,,,,,1076,100.000,,,,,0.25,0.2,60,750,
"$cli" batch de.csv --excel-de|${bom}mode;source_cd;
"$cli" batch de.csv --excel-de|;0,25;0,2;60;750;6;7;90% confidence;0,0;27,501;3,929;0,675;0,250;-0,171;-0,602;
"$cli" batch in.csv --output-delimiter ';'|;0.25;0.2;60;750;6;7;90% confidence;0.0;27.501;
"$cli" batch in.csv --bom|${bom}mode,source_cd,
"$cli" sweep --vary age=20:30:10 $case_options --viewing_distance_mm 750 --excel-de|${bom}mode;source_cd;
"$cli" check --profile faa-distance $case_options --viewing_distance_mm 750 --excel-de -o -|${bom}profile;criterion;
"$cli" check --profile faa-distance $case_options --viewing_distance_mm 750 --excel-de -o -|;minimum;0,008;0,005;0,005;;;0,003;1,6;pass;
"$cli" check --profile faa-distance $case_options --viewing_distance_mm 750 --json -o c.xlsx|"passed": true
END

# A table written for a spreadsheet and read back by batch gives the numbers
# the plain table gives.
# PLAIN|STYLED: the commands that write the plain table and the styled one.
while IFS='|' read -r plain styled; do
    cases=$((cases + 1))
    rm -f plain.csv styled.csv
    eval "$plain -o plain.csv" && eval "$styled -o styled.csv" && "$cli" batch plain.csv >plain-back.csv &&
        "$cli" batch styled.csv >styled-back.csv && cmp -s plain-back.csv styled-back.csv ||
        fail "$styled does not read back as $plain: $(diff plain-back.csv styled-back.csv | head -4)"
done <<END
"$cli" batch in.csv|"$cli" batch de.csv --excel-de
"$cli" batch in.csv|"$cli" batch in.csv --output-delimiter tab
"$cli" batch in.csv|"$cli" batch tab-de.csv --output-delimiter tab --decimal ,
"$cli" sweep --vary viewing_distance_mm=100:3000:7.5 $case_options|"$cli" sweep --vary viewing_distance_mm=100:3000:7.5 $case_options --excel-de
END

# STATUS|PHRASE|COMMAND: the status and stderr holding PHRASE.
while IFS='|' read -r status phrase command; do
    cases=$((cases + 1))
    err="$(eval "$command" 2>&1 >/dev/null)"
    got=$?
    if [ "$got" -ne "$status" ] || ! grep -qF -- "$phrase" <<<"$err"; then
        fail "$command -> status $got, wanted $status with \"$phrase\": $err"
    fi
done <<END
1|line 2: letter_factor "0.25" has a decimal point, and --decimal , takes a comma only (--decimal . reads points)|"$cli" batch --decimal , --output-delimiter ';' in.csv
1|line 2: age "60.5" has a decimal point, and --decimal , takes a comma only|"$cli" batch --decimal , --output-delimiter ';' <(sed 's/,60,/,60.5,/; s/0\.25/"0,25"/; s/0\.2,/"0,2",/' in.csv)
2|: line 2: age "80.5" has a decimal point|"$cli" conditions --excel-de designs-de.csv --conditions <(printf 'condition,age\nold,80.5\n') -o x.csv
2|--decimal , needs --output-delimiter ; or tab|"$cli" batch --decimal , de.csv
2|--decimal , needs --output-delimiter ; or tab|"$cli" sweep --vary age=20:30:10 $case_options --viewing_distance_mm 750 --decimal ,
2|--output-delimiter must be , ; or tab, not "x"|"$cli" batch in.csv --output-delimiter x
2|--decimal must be , or ., not "x"|"$cli" batch in.csv --decimal x
2|--excel-de is --output-delimiter ';' --decimal , --bom together|"$cli" batch in.csv --excel-de --output-delimiter tab
2|--bom shapes a CSV table, and --json writes JSON Lines|"$cli" batch in.csv --json --bom
2|--excel-de shapes a CSV table, and -o out.xlsx writes a workbook|"$cli" batch in.csv --excel-de -o out.xlsx
2|--decimal shapes a CSV table, and --json writes JSON Lines|"$cli" sweep --vary age=20:30:10 $case_options --viewing_distance_mm 750 --json --decimal .
2|-o out.XLSX writes a workbook and --json writes JSON Lines|"$cli" batch in.csv --json -o out.XLSX
2|-o - writes the table to stdout and --json writes the report there|"$cli" check --profile faa-distance $case_options --viewing_distance_mm 750 --json -o -
2|--bom shapes a CSV table, and -o out.xlsx writes a workbook|"$cli" check --profile faa-distance $case_options --viewing_distance_mm 750 --bom -o out.xlsx
END
[ ! -e out.xlsx ] && [ ! -e x.csv ] || fail "a refused run wrote its output"
[ -s c.xlsx ] || fail "check --json -o c.xlsx wrote no workbook"

# A workbook that cannot be written leaves nothing, and the file it would
# replace as it was.
ln -s /dev/full full.xlsx
echo old >old.xlsx
while IFS='|' read -r phrase command; do
    cases=$((cases + 1))
    err="$(eval "$command" 2>&1 >/dev/null)"
    got=$?
    [ "$got" -eq 1 ] && grep -qF -- "$phrase" <<<"$err" || fail "$command -> status $got, wanted 1 with $phrase: $err"
done <<END
cannot write full.xlsx: No space left on device|"$cli" batch in.csv -o full.xlsx
cannot write missing/out.xlsx: No such file or directory|"$cli" batch in.csv -o missing/out.xlsx
old.xlsx: row 4 of the sheet has a cell of 32768 characters, more than the 32767 a workbook cell takes|"$cli" batch <(printf 'id,mode\nx,none\n%32768s,none\n' '') -o old.xlsx
old.xlsx|(trap '' XFSZ; ulimit -f 2; for i in \$(seq 300); do tail -n 1 in.csv; done | cat in.csv - | "$cli" batch - -o old.xlsx)
old.xlsx|(trap '' XFSZ; ulimit -f 2; "$cli" sweep --vary viewing_distance_mm=100:3000:1 $case_options -o old.xlsx)
END
[ "$(cat old.xlsx)" = old ] || fail "a failed workbook replaced old.xlsx"
leftovers=$(find . -name '.*.vistrel-??????' | head -3)
[ -z "$leftovers" ] && [ ! -e missing ] || fail "temporaries left behind: $leftovers"

echo "$((cases - failures)) of $cases passed"
[ "$failures" -eq 0 ]
