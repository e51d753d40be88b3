#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command on a private Xvfb display managed by openbox, the way a desktop would show the window,
# and stops both servers afterwards. Exits 77 (skipped) when Xvfb or openbox is not installed.
# Usage: tests/ui/xvfb.sh [--bare] command [args...]   (--bare: no window manager)
set -euo pipefail

wm=openbox
if [ "${1:-}" = "--bare" ]; then
    wm=
    shift
fi
for tool in Xvfb ${wm}; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed: skipped" >&2; exit 77; }
done

scratch="$(mktemp -d)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$scratch"
}
trap cleanup EXIT

wait_for() { # file, what
    for _ in $(seq 100); do
        [ -s "$1" ] && return 0
        sleep 0.1
    done
    echo "$2 did not start" >&2
    exit 1
}

# Xvfb picks a free display itself and writes its number once it accepts clients.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$scratch/display" 2>"$scratch/xvfb.log" &
pids+=($!)
wait_for "$scratch/display" Xvfb
export DISPLAY=":$(head -n1 "$scratch/display")"
export QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR="$scratch"

if [ -n "$wm" ]; then
    # openbox runs its startup command once it manages the screen.
    openbox --startup "touch $scratch/wm-ready" >"$scratch/openbox.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do
        [ -e "$scratch/wm-ready" ] && break
        sleep 0.1
    done
    [ -e "$scratch/wm-ready" ] || { echo "openbox did not start" >&2; cat "$scratch/openbox.log" >&2; exit 1; }
fi

status=0
"$@" || status=$?
exit "$status"
