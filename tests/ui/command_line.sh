#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The window program's command line and start-up messages.
# Usage: tests/ui/command_line.sh path/to/vistrel
set -uo pipefail
vistrel="$1"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
failures=0

# Runs the program in a clean environment plus the given variables; leaves rc, out and err.
run() {
    local vars=()
    while [ $# -gt 0 ] && [[ "$1" == *=* ]]; do
        vars+=("$1")
        shift
    done
    env -i PATH="$PATH" HOME="$scratch" "${vars[@]}" timeout 2 "$vistrel" "$@" >"$scratch/out" 2>"$scratch/err"
    rc=$?
    out="$(cat "$scratch/out")"
    err="$(cat "$scratch/err")"
}
expect() { # description, condition...
    local what="$1"
    shift
    if ! "$@"; then
        echo "FAIL: $what (rc $rc)"
        echo "  stdout: $out"
        echo "  stderr: $err"
        failures=$((failures + 1))
    fi
}

# An X display number with nothing listening.
n=600
while [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done

run
no_display="$err"
expect "no display ends with a plain message" test "$rc" -eq 1 -a -n "$no_display"

for args in "--help" "--help --version" "-platform offscreen --help"; do
    # shellcheck disable=SC2086
    run DISPLAY=":$n" $args
    expect "$args prints the usage and leaves" test "$rc" -eq 0 -a -z "$err"
    expect "$args usage" grep -q '^Usage: vistrel \[--help | --version\]' "$scratch/out"
done

run --version
expect "--version" test "$rc" -eq 0 -a "$out" = "vistrel 1.00" -a -z "$err"

run DISPLAY=":$n"
expect "unreachable display gives the no-display message" test "$rc" -eq 1 -a "$err" = "$no_display"
# Qt's own options are arguments like any other: they must not pick another platform.
for args in "--bogus" "-platform offscreen" "--display :0 -style fusion"; do
    # shellcheck disable=SC2086
    run DISPLAY=":$n" $args
    expect "'$args' is an unknown option, with or without a display" \
        test "$rc" -eq 2 -a "$(head -n1 "$scratch/err")" = "vistrel: unknown option ${args%% *}"
    run $args
    expect "'$args' without a display" test "$rc" -eq 2 -a "$(head -n1 "$scratch/err")" = "vistrel: unknown option ${args%% *}"
done

# All well: the window opens and stderr stays quiet, with no runtime folder set.
run QT_QPA_PLATFORM=offscreen
expect "a quiet start" test "$rc" -eq 124 -a -z "$err"

exit $((failures > 0))
