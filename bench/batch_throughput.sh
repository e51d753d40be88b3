#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Throughput and peak memory of `vistrel-cli batch` on generated rows.
# Usage: [RUNS=9] bench/batch_throughput.sh [ROWS] [VISTREL_CLI] [CSV_PASS]   (1000000 rows, the release build by default)
# CSV_PASS is the bare libcsv read-split-write pass batch is compared with.
set -euo pipefail
cd "$(dirname "$0")/.."
rows="${1:-1000000}"
cli="${2:-build/release/cli/vistrel-cli}"
pass="${3:-build/release/bench/csv_pass}"
[ -x "$cli" ] && [ -x "$pass" ] || { echo "build it first: cmake --workflow --preset release" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "needs GNU time: apt-get install time" >&2; exit 2; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
in="$work/in.csv"

# Cases of every mode, with a mix of verdicts and of refusals.
awk -v rows="$rows" 'BEGIN {
    print "mode,source_cd,distance_ft,illuminance_lux,background_cdm2,letter_fl,letter_factor,background_factor,age,letter_height_mm,viewing_distance_mm,ratio,ease"
    split("50% confidence (Half the letters Readable)|90% confidence|95% confidence|Easy to Read", ease, "|")
    for (i = 0; i < rows; i++) {
        m = i % 3; age = 20 + i % 60; h = 2 + (i % 17) * 0.5; d = 400 + (i % 23) * 50; r = 4 + i % 6
        e = "\"" ease[1 + i % 4] "\""
        if (m == 0) printf "source,%d,%g,,,,0.8,0.2,%d,%g,%d,%d,%s\n", 500 + i % 1000, 5 + i % 20, age, h, d, r, e
        else if (m == 1) printf "illuminance,,,%d,,,0.7,0.1,%d,%g,%d,%d,%s\n", 200 + i % 5000, age, h, d, r, e
        else printf "luminance,,,,%g,%g,,,%d,%g,%d,%d,%s\n", 20 + i % 300, 5 + i % 90, age, h, d, r, e
    }
}' > "$in"
echo "rows: $rows ($(du -h "$in" | cut -f1))"

/usr/bin/time -f "peak memory: %M KB, %e s" "$cli" batch "$in" -o "$work/out.csv"
if command -v strace >/dev/null; then
    strace -f -e trace=clone,clone3 -o "$work/clones" "$cli" batch "$in" -o "$work/out.csv"
    echo "threads started: $(grep -c 'clone' "$work/clones") on $(nproc) cores"
fi
# Both write a new file: replacing one would add the old file's removal to one side only.
# Wall time in seconds, to the millisecond.
timed() { local start end; start=$(date +%s%N); "$@"; end=$(date +%s%N); awk -v n=$((end - start)) 'BEGIN { printf "%.3f", n / 1e9 }'; }
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# Interleaved, so that a busy moment of the machine falls on both sides alike;
# each starts once the last one's output is on disk, so neither pays for the other's.
runs="${RUNS:-9}"
batch_times=() bare_times=()
for _ in $(seq "$runs"); do
    rm -f "$work/out.csv" "$work/pass.csv"
    sync
    batch_times+=("$(timed "$cli" batch "$in" -o "$work/out.csv")")
    sync
    bare_times+=("$(timed "$pass" "$in" "$work/pass.csv")")
done
seconds="$(printf '%s\n' "${batch_times[@]}" | median)"
bare="$(printf '%s\n' "${bare_times[@]}" | median)"
echo "medians of $runs interleaved runs:"
echo "rows per second: $(awk -v r="$rows" -v s="$seconds" 'BEGIN { printf "%.0f", r / s }')"
echo "batch: $seconds s, bare read-split-write pass: $bare s, ratio: $(awk -v a="$seconds" -v b="$bare" 'BEGIN { printf "%.2f", a / b }')"
stages="$(dirname "$pass")/batch_stages"
[ -x "$stages" ] && "$stages" "$in"
