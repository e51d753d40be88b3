#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# --fail-on: status 3 exactly when a design fails what it names, each level
# including those before it; without it the statuses stay as they were, and
# a run that could not read every row still says 1.
# Usage: fail_on.sh VISTREL_CLI
set -u
# shellcheck source=rows.sh
source "$(dirname "$0")/rows.sh"
cli="$1"
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1
head='design,mode,illuminance_lux,letter_factor,background_factor,age,letter_height_mm,viewing_distance_mm,ratio,ease'
worked='illuminance,1076,0.8,0.2,40,6,750,7,90% confidence'
printf '%s\nnear,%s\n' "$head" "$worked" >legible.csv
printf '%s\nnear,%s\nfar,%s\n' "$head" "$worked" "${worked/750/9000}" >mixed.csv
printf '%s\nbroken,%s\n' "$head" "${worked/,6,/,x,}" >noverdict.csv
printf '%s\nnear,%s\nodd,"unclosed\n' "$head" "$worked" >unreadable.csv
printf 'condition,ambient_lux\nnight,0\n' >night.csv
# The worked case's letters are 27.5 arcmin: 20 passes, 30 fails.
criterion() { printf '[[criterion]]\nid = "%s"\nquantity = "letter_size_arcmin"\nkind = "minimum"\nlimit = %s\nlevel = "%s"\nsource = "s"\n' "$@"; }
{ criterion a 20 required; criterion b 30 recommended; } >recommended.toml
criterion a 30 required >required.toml
failures=0

# STATUS|PHRASE on stderr ("" for none)|ARGS
run_rows <<'ROWS'
0||batch legible.csv --keep-unknown --fail-on not-legible
0||batch mixed.csv --keep-unknown
3|1 of 2 designs fail --fail-on not-legible|batch mixed.csv --keep-unknown --fail-on not-legible
3|the first on line 2|batch noverdict.csv --keep-unknown --fail-on not-legible
1|could not be read|batch unreadable.csv --keep-unknown --fail-on not-legible
0||batch legible.csv --keep-unknown --profile recommended.toml --fail-on required
3|1 of 1 design fails --fail-on recommended|batch legible.csv --keep-unknown --profile recommended.toml --fail-on recommended
0||batch legible.csv --keep-unknown --profile required.toml --fail-on not-legible
3|a required check failed|batch legible.csv --keep-unknown --profile required.toml --fail-on required
3|1 of 1 design fails|batch legible.csv --keep-unknown --profile required.toml --fail-on recommended
2|needs --profile|batch legible.csv --keep-unknown --fail-on required
2|must be not-legible, required or recommended|batch legible.csv --fail-on Required
1||conditions mixed.csv --conditions night.csv
3|1 of 2 designs fail --fail-on not-legible|conditions mixed.csv --conditions night.csv --fail-on not-legible
0||conditions legible.csv --conditions night.csv --fail-on not-legible
2|conditions does not make|conditions mixed.csv --conditions night.csv --fail-on required
0||report mixed.csv -o r1.html --profile required.toml
3|2 of 2 designs fail --fail-on required|report mixed.csv -o r2.html --profile required.toml --fail-on required
0||report legible.csv -o r3.html --profile recommended.toml --fail-on required
2|needs --profile|report legible.csv -o r4.html --fail-on recommended
ROWS
[ -s r2.html ] || { echo "FAIL: a report that fails --fail-on was not written"; failures=$((failures + 1)); }
[ ! -e r4.html ] || { echo "FAIL: a usage error left a page"; failures=$((failures + 1)); }

if [ "$failures" -eq 0 ]; then
    echo "fail_on: every row passed"
    exit 0
fi
echo "fail_on: $failures rows failed"
exit 1
