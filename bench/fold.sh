#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fold time of the closing animation on bare Xvfb and on Xvfb with openbox, runs interleaved.
# Usage: bench/fold.sh [build dir] [runs]   (build/release and 15 by default)
set -euo pipefail
cd "$(dirname "$0")/.."
bin="$(realpath "${1:-build/release}")/bench/fold_time"
runs="${2:-15}"

if [ -z "${FOLD_BARE_DISPLAY:-}" ]; then
    # A bare server whose display the managed one's run can reach too.
    exec tests/ui/xvfb.sh --bare bash -c 'FOLD_BARE_DISPLAY=$DISPLAY exec tests/ui/xvfb.sh "$0" "$@"' "$0" "$@"
fi

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
bare=() managed=()
for _ in $(seq "$runs"); do
    bare+=("$(DISPLAY="$FOLD_BARE_DISPLAY" "$bin")")
    managed+=("$("$bin")")
done
b="$(printf '%s\n' "${bare[@]}" | median)"
m="$(printf '%s\n' "${managed[@]}" | median)"
echo "median fold over $runs runs: bare Xvfb $b ms, Xvfb with openbox $m ms, ratio $(awk -v b="$b" -v m="$m" 'BEGIN { printf "%.2f", m / b }')"
