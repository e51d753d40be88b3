#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Two builds of vistrel-cli side by side on batch, tolerance and report: the
# median wall time of each over interleaved runs, and the ratio after/before.
# Usage: [RUNS=9] [ROWS=1000000] bench/before_after.sh BEFORE_CLI AFTER_CLI
# Each binary finds its own vistrel-plot beside it, as installed.
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -eq 2 ] && [ -x "$1" ] && [ -x "$2" ] || { echo "usage: bench/before_after.sh BEFORE_CLI AFTER_CLI" >&2; exit 2; }
before="$(realpath "$1")" after="$(realpath "$2")"
runs="${RUNS:-9}" rows="${ROWS:-1000000}"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
awk -v rows="$rows" 'BEGIN {
    print "mode,illuminance_lux,letter_factor,background_factor,age,letter_height_mm,viewing_distance_mm,ratio,ease"
    for (i = 0; i < rows; i++)
        printf "illuminance,%d,0.7,0.1,%d,%g,%d,%d,90%% confidence\n", 200 + i % 5000, 20 + i % 60, 2 + (i % 17) * 0.5, 400 + (i % 23) * 50, 4 + i % 6
}' > "$work/cases.csv"
head -n 21 "$work/cases.csv" > "$work/designs.csv"

case_args=(--mode illuminance --illuminance_lux 1076 --letter_factor 0.8 --background_factor 0.2 --age 45
           --letter_height_mm 6 --viewing_distance_mm 750 --ratio 7 --ease "90% confidence")
# The three workloads, each writing a new file.
batch() { "$1" batch "$work/cases.csv" -o "$work/out.csv"; }
tolerance() { "$1" tolerance "${case_args[@]}" --tol age=normal:45:12 --tol illuminance_lux=±10% --samples 1000000 >"$work/tol.txt"; }
report() { SOURCE_DATE_EPOCH=0 "$1" report "$work/designs.csv" -o "$work/review.html" --tol age=normal:45:12 --samples 20000; }

timed() { local start end; start=$(date +%s%N); "$@" >/dev/null; end=$(date +%s%N); awk -v n=$((end - start)) 'BEGIN { printf "%.3f", n / 1e9 }'; }
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

for work_kind in batch tolerance report; do
    b=() a=()
    for _ in $(seq "$runs"); do
        rm -f "$work"/out.csv "$work"/review.html
        sync
        b+=("$(timed "$work_kind" "$before")")
        rm -f "$work"/out.csv "$work"/review.html
        sync
        a+=("$(timed "$work_kind" "$after")")
    done
    mb="$(printf '%s\n' "${b[@]}" | median)" ma="$(printf '%s\n' "${a[@]}" | median)"
    echo "$work_kind: before $mb s, after $ma s, ratio after/before $(awk -v a="$ma" -v b="$mb" 'BEGIN { printf "%.3f", a / b }') (medians of $runs interleaved runs)"
done
