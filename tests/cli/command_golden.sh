#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs one command in the golden folder: stdout must match the expected file
# byte for byte, and the exit status must be the expected one.
# Usage: command_golden.sh VISTREL_CLI GOLDEN_DIR EXPECTED STATUS ARGS...
set -u
cli="$1" dir="$2" expected="$3" status="$4"
shift 4
actual="$(mktemp)"
trap 'rm -f "$actual"' EXIT
cd "$dir" || exit 1
"$cli" "$@" > "$actual" 2>/dev/null
got=$?
if [ "$got" -ne "$status" ]; then
    echo "exit status $got, expected $status"
    exit 1
fi
diff -u "$expected" "$actual" || exit 1
