#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs one batch golden case: the output must match byte for byte, and the
# exit status must be the expected one.
# Usage: golden.sh VISTREL_CLI INPUT.csv EXPECTED STATUS [BATCH OPTION...]
set -u
cli="$1" input="$2" expected="$3" status="$4"
shift 4
actual="$(mktemp)"
trap 'rm -f "$actual"' EXIT
"$cli" batch "$input" -o "$actual" "$@" 2>/dev/null
got=$?
if [ "$got" -ne "$status" ]; then
    echo "exit status $got, expected $status"
    exit 1
fi
diff -u "$expected" "$actual" || exit 1
