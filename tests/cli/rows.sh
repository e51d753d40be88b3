# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the scripts that run a table of rows, STATUS|PHRASE|ARGS, on
# stdin: vistrel-cli ($cli) with ARGS must exit with STATUS and write PHRASE
# ("" for none) on stderr. Each fault is printed and counted in $failures; a
# script that defines row_done STATUS ARGS checks more after every row.
run_rows() {
    local status phrase args err got
    while IFS='|' read -r status phrase args; do
        [ -n "$status" ] || continue
        read -r -a words <<<"$args"
        err="$("$cli" "${words[@]}" 2>&1 >/dev/null)"
        got=$?
        if [ "$got" -ne "$status" ] || ! grep -qF -- "$phrase" <<<"$err"; then
            echo "FAIL: vistrel-cli $args -> status $got, stderr: $err (wanted $status and \"$phrase\")"
            failures=$((failures + 1))
        fi
        if declare -F row_done >/dev/null; then
            row_done "$status" "$args"
        fi
    done
}
