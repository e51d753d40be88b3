#!/usr/bin/env bash
# Time from process start to the first painted window: Form1 against a bare QWidget, side by side.
# Usage: bench/startup.sh [build dir]   (build/release by default; needs hyperfine)
set -euo pipefail
bin="${1:-build/release}/bench/first_paint"
run=(hyperfine -N --warmup 5 --runs 60 "$bin --bare" "$bin")
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    "${run[@]}"
else
    QT_QPA_PLATFORM=offscreen "${run[@]}"
fi
