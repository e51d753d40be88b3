#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Time from process start to the first painted window: Form1 against a bare QWidget, side by side.
# Usage: bench/startup.sh [build dir]   (build/release by default; needs hyperfine)
set -euo pipefail
bin="${1:-build/release}/bench/first_paint"
command -v hyperfine >/dev/null || { echo "needs hyperfine: apt-get install hyperfine" >&2; exit 2; }
json="$(mktemp)"
trap 'rm -f "$json"' EXIT
run=(hyperfine -N --warmup 5 --runs 60 --export-json "$json" "$bin --bare" "$bin")
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    "${run[@]}"
else
    QT_QPA_PLATFORM=offscreen "${run[@]}"
fi
# hyperfine prints means; the medians are in its JSON.
grep -E '"(command|median)"' "$json" | paste - - |
    awk -F'"' '{ m = $7; gsub(/[^0-9.]/, "", m); printf "median %.1f ms: %s\n", m * 1000, $4 }'
