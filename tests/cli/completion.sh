#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The shell completions offer every option each command's help lists, every
# ease level's short name, and exactly the names --vary and --for accept.
# Usage: completion.sh VISTREL_CLI BASH_COMPLETION ZSH_COMPLETION
set -u
cli="$1" bash_file="$2" zsh_file="$3"
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# shellcheck source=/dev/null
source "$bash_file"
complete -p vistrel-cli >/dev/null || fail "the bash file registers no completion"
# What bash offers after the words given; the last word is the one completed.
offered() {
    COMP_WORDS=(vistrel-cli "$@")
    COMP_CWORD=$#
    COMPREPLY=()
    _vistrel_cli
    printf '%s\n' "${COMPREPLY[@]}"
}
has() { grep -qxF -- "$2" <<<"$1"; }

commands=$(offered "")
for command in eval batch solve sweep check conditions tolerance report screen; do
    has "$commands" "$command" || fail "bash does not offer the command $command"
    options=$(offered "$command" "-")
    for option in $("$cli" "$command" --help | grep -oE -- '(^|[ ,(])--?[a-z][a-z0-9_-]*' | grep -oE -- '--?[a-z][a-z0-9_-]*' | sort -u); do
        has "$options" "$option" || fail "bash does not offer $option for $command"
        grep -qF -- "$option" "$zsh_file" || grep -qw -- "${option#--}" "$zsh_file" || fail "zsh does not offer $option"
    done
done

levels=$(offered eval --ease "")
for alias in $("$cli" eval --help | sed -n '/^Ease of reading levels/,/^Example/p' | awk 'NF > 1 && $1 != "Ease" && $1 != "Example:" {print $1}'); do
    has "$levels" "$alias" || fail "bash does not offer the ease level $alias"
    grep -qF -- "'$alias:" "$zsh_file" || fail "zsh does not offer the ease level $alias"
done
[ "$(wc -l <<<"$levels")" -eq 8 ] || fail "bash offers $(wc -l <<<"$levels") ease levels, not 8"

# Every name --vary is offered must be accepted, and every numeric input offered.
vary=$(offered sweep --vary "")
for option in $("$cli" eval --help | sed -n '/^Case:/,/^$/p' | grep -oE -- '^  --[a-z0-9_]+' | grep -vE -- '--(mode|ease)$'); do
    has "$vary" "${option#--}=" || fail "bash does not offer ${option#--} for --vary"
done
for name in $vary; do
    "$cli" sweep --vary "${name}1:1:1" >/dev/null 2>&1
    [ $? -ne 2 ] || fail "bash offers $name for --vary, which refuses it"
done
for name in $(offered solve --for ""); do
    err=$("$cli" solve --for "$name" 2>&1 >/dev/null)
    # With no case given, the name is taken when only the case's inputs are missing.
    [ $? -ne 2 ] || grep -q "^vistrel-cli solve: missing --" <<<"$err" || fail "bash offers $name for --for, which refuses it"
done

# Each option that takes a file is offered the files of its type: WORDS...|OFFERED|NOT OFFERED.
files="$(mktemp -d)"
trap 'rm -rf "$files"' EXIT
touch "$files"/a.csv "$files"/a.toml "$files"/a.png "$files"/a.html "$files"/a.svg "$files"/a.txt
while IFS='|' read -r words wanted unwanted; do
    # shellcheck disable=SC2086
    got=$(cd "$files" && offered $words "")
    has "$got" "$wanted" || fail "bash does not offer $wanted after $words"
    ! has "$got" "$unwanted" || fail "bash offers $unwanted after $words"
done <<ROWS
eval --case|a.toml|a.png
tolerance --case|a.csv|a.txt
check --profile|a.toml|a.csv
batch|a.csv|a.png
batch -o|a.csv|a.html
report -o|a.html|a.csv
report --screen|a.png|a.csv
screen|a.png|a.csv
screen -o|a.png|a.svg
screen --regions|a.csv|a.png
sweep --plot|a.svg|a.csv
conditions --conditions|a.csv|a.toml
help|eval|a.csv
ROWS

if command -v zsh >/dev/null; then
    zsh -n "$zsh_file" || fail "the zsh file does not parse"
fi
[ "$failures" -eq 0 ] && echo "completions agree with the help"
[ "$failures" -eq 0 ]
