#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# vistrel-cli never damages what it writes to, never reports a failure as
# success, never crashes, and leaves no temporary behind. Device nodes and
# FIFOs are made in a scratch folder; the only real device used is /dev/full.
# Usage: robustness.sh VISTREL_CLI [VISTREL_PLOT]
set -u
cli="$(realpath "$1")"
plotter="${2:+$(realpath "$2")}"
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1
failures=0
cases=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
esc=$'\e'
case_options="--mode illuminance --illuminance_lux 1076 --letter_factor 0.25 --background_factor 0.2 --age 60 \
--letter_height_mm 6 --ratio 7 --ease '90% confidence'"
printf 'mode,illuminance_lux,letter_factor,background_factor,age,letter_height_mm,viewing_distance_mm,ratio,ease\n' >in.csv
for i in $(seq 1 300); do echo "illuminance,1076,0.8,0.2,$((20 + i % 60)),6,750,7,90% confidence"; done >>in.csv
cp in.csv in.orig
"$cli" batch in.csv >expected.csv 2>/dev/null
printf 'mode,age\rnone,40\rnone,41\rsideways,3\rnone,42\r' >cr.csv
{
    printf 'mode,age\nnone,40\n"none,1\n'
    for i in $(seq 1000); do echo "none,$i"; done
} >quote.csv
{
    printf 'age\n'
    head -c 5000000 /dev/zero
    printf '\n40\n'
} >zeros.csv
for i in $(seq 40); do cat in.csv; done >big.csv

# check STATUS PHRASE COMMAND: the status ("-" for any) and stderr holding PHRASE
# (empty: stderr must be empty); stderr never holds a raw escape character.
check() {
    local status="$1" phrase="$2" command="$3" err got
    cases=$((cases + 1))
    err="$(eval "$command" 2>&1 >stdout.txt)"
    got=$?
    if [ "$status" != "-" ] && [ "$got" -ne "$status" ]; then
        fail "$command -> status $got, wanted $status; stderr: $err"
    elif [ -z "$phrase" ] && [ -n "$err" ]; then
        fail "$command -> stderr should be empty: $err"
    elif [ -n "$phrase" ] && ! grep -qF -- "$phrase" <<<"$err"; then
        fail "$command -> stderr lacks \"$phrase\": $err"
    elif grep -qF "$esc" <<<"$err"; then
        fail "$command -> a raw escape character on stderr"
    fi
}

table() {
    while IFS='|' read -r status phrase command; do
        check "$status" "$phrase" "$command"
    done
}

# Failed writes are named with their reason, and the status says so; a
# closed pipe ends quietly.
table <<END
1|cannot write stdout: No space left on device|"$cli" eval $case_options --viewing_distance_mm 750 >/dev/full
1|cannot write stdout: No space left on device|"$cli" eval --json $case_options --viewing_distance_mm 750 >/dev/full
1|cannot write stdout: No space left on device|"$cli" solve --for age $case_options --viewing_distance_mm 750 >/dev/full
1|cannot write stdout: No space left on device|"$cli" sweep --vary age=10:90:1 $case_options --viewing_distance_mm 750 >/dev/full
1|cannot write /dev/full: No space left on device|"$cli" sweep --vary age=10:90:1 $case_options -o /dev/full
1|cannot write stdout: No space left on device|"$cli" batch in.csv >/dev/full
1|cannot write /dev/full: No space left on device|"$cli" batch in.csv -o /dev/full
1|cannot write stdout: Bad file descriptor|"$cli" batch in.csv >&-
1|cannot write stdout: No space left on device|"$cli" --help >/dev/full
1|cannot write ./: Is a directory|"$cli" batch in.csv -o ./
-||"$cli" batch big.csv | head -c 10 >/dev/null
-||(trap '' PIPE; "$cli" batch big.csv | head -c 10 >/dev/null)
END
[ -c /dev/full ] || fail "/dev/full is no longer a character device"

# Inputs that cannot be read, and damage in them, are named.
table <<END
2|the output in.csv would overwrite the input|"$cli" batch - -o in.csv <in.csv
2|cannot read stdin: it is closed|"$cli" batch - <&-
2|cannot read .: Is a directory|"$cli" batch .
2|cannot read missing.csv: No such file or directory|"$cli" batch missing.csv
2|cannot read bad\x1B[31m.csv|"$cli" batch \$'bad\e[31m.csv'
2|unknown column "\x1B]0;title\x07"|"$cli" batch <(printf '\e]0;title\a\n1\n')
1|line 3: a quote opened on this line is never closed: it takes in the 1000 lines after it|"$cli" batch quote.csv
1|1 of 4 rows could not be read; see their message column. The first: line 4: mode must be|"$cli" batch cr.csv
1|line 2: the record is longer than 4 MiB|"$cli" batch zeros.csv
1|All boxes must be filled|"$cli" eval --json --age \$'\xff' >&2
END
cmp -s in.csv in.orig || fail "the input was changed"
"$cli" eval --json --age $'\xff' 2>/dev/null | grep -qF $'\xef\xbf\xbd' || fail "invalid UTF-8 is not replaced in JSON"
if ! ldd "$cli" | grep -q libasan; then # the sanitizer cannot run under a memory limit
    for limit in 10000 20000 40000; do # KB: some fail to start threads or to allocate, none may crash
        cases=$((cases + 1))
        (ulimit -v "$limit" && exec "$cli" batch big.csv -o mem.csv) 2>/dev/null
        status=$?
        [ "$status" -le 1 ] || fail "under a memory limit of $limit KB: status $status"
    done
fi

# Inputs past a limit are refused, naming it, before the work they would cost.
criterion='[[criterion]]\nid = "c%d"\nquantity = "ratio"\nkind = "minimum"\nlimit = 1\nlevel = "required"\nsource = "s"\n'
# shellcheck disable=SC2059
printf "$criterion" $(seq 201) >many.toml
{ head -c 1048576 /dev/zero | tr '\0' '#' && echo && head -n 7 many.toml; } >huge.toml
{ echo condition,ambient_lux && seq 1001 | sed 's/.*/c&,&/'; } >c1001.csv
head -n 335 c1001.csv >c334.csv
{ echo condition,ambient_lux && printf '%0600d,5\n' 0; } >long.csv
head -n 2 in.csv >one.csv
head -n 102 in.csv >d101.csv
head -n 12 in.csv >d11.csv
table <<END
2|many.toml:1401: more than 200 criteria, the most a profile may hold|"$cli" check --profile ./many.toml $case_options --viewing_distance_mm 750
2|huge.toml: the profile is larger than 1 MiB|"$cli" batch in.csv --profile ./huge.toml
2|c1001.csv: more than 1000 conditions, the most one run takes|"$cli" conditions one.csv --conditions c1001.csv
2|300 designs under 334 conditions make 100200 cases, more than the 100000 one run takes|"$cli" conditions in.csv --conditions c334.csv
2|long.csv: line 2: the row's name and cells hold 601 bytes, more than the 512 a row may hold|"$cli" report one.csv --conditions long.csv -o r.html
2|d101.csv: more than 100 designs, the most one report takes|"$cli" report d101.csv -o r.html
END

# Every kind of target keeps what it is: FIFOs and devices are written
# straight, a symlink stays a link, a private file stays private.
while IFS='|' read -r name setup verify; do
    cases=$((cases + 1))
    rm -rf t real.csv new.csv got
    eval "$setup" || continue
    "$cli" batch in.csv -o t 2>err.txt
    status=$?
    wait
    if [ "$status" -ne 0 ] || ! eval "$verify"; then
        fail "$name: status $status, $(cat err.txt)"
    fi
done <<'END'
fifo|mkfifo t && { cat t >got & }|[ -p t ] && cmp -s got expected.csv
symlink|echo old >real.csv && ln -s real.csv t|[ -L t ] && cmp -s real.csv expected.csv
dangling symlink|ln -s new.csv t|[ -L t ] && cmp -s new.csv expected.csv
private file|echo old >t && chmod 600 t|[ "$(stat -c %a t)" = 600 ] && cmp -s t expected.csv
character device|[ "$(id -u)" = 0 ] && mknod t c 1 3|[ -c t ]
END
cases=$((cases + 1))
echo first >appended.txt
"$cli" batch in.csv -o /proc/self/fd/3 3>>appended.txt
cmp -s appended.txt <(echo first; cat expected.csv) || fail "a descriptor link is not written through its own descriptor"

# Plots: written atomically, and every failure of the plotter reaches the status.
sweep="sweep --vary viewing_distance_mm=100:3000:10 $case_options"
mkdir -p lone/bin installed/bin installed/libexec/vistrel broken
cp "$cli" lone/bin/ && cp "$cli" installed/bin/ && cp "$cli" broken/
printf '#!/bin/sh\ncat >/dev/null\nexit 3\n' >broken/vistrel-plot && chmod +x broken/vistrel-plot
echo old >old.svg
table <<END
2|-o and --plot name the same file|"$cli" $sweep -o same.svg --plot same.svg
2|-o and --plot name the same file|ln -sf same.svg link.svg; "$cli" $sweep -o link.svg --plot ./same.svg
2|install the 'vistrel' package|lone/bin/vistrel-cli $sweep --plot p.svg
1|vistrel-plot ended with exit status 3|broken/vistrel-cli $sweep --plot old.svg
1|vistrel-plot ended with exit status 3|broken/vistrel-cli tolerance $case_options --tol age=+-5 --samples 100 --plot old.svg
2|install the 'vistrel' package|lone/bin/vistrel-cli tolerance $case_options --tol age=+-5 --samples 100 --plot t.svg
END
[ "$(cat old.svg)" = old ] || fail "a failed plot replaced the old one"
if [ -n "$plotter" ]; then
    cp "$plotter" installed/libexec/vistrel/
    table <<END
0||installed/bin/vistrel-cli $sweep -o - --plot=-dash.svg
1|cannot write full.svg: No space left on device|ln -sf /dev/full full.svg; "$cli" $sweep --plot full.svg
0|2 points could not be drawn|"$cli" sweep --vary letter_factor=2e307:3e307:1e307 $case_options --viewing_distance_mm 750 --plot huge.png
0||installed/bin/vistrel-cli tolerance $case_options --tol age=+-5 --samples 100 --plot tornado.svg
2|d11.csv: more than 10 designs, the most one PDF report takes|"$cli" report d11.csv -o r.pdf
END
    head -c 5 ./-dash.svg | grep -q '<?xml' || fail "the plot whose name starts with - was not written"
    grep -q '<svg' tornado.svg || fail "the tornado chart was not written"
fi

# An ignored SIGHUP (nohup) stays ignored; SIGTERM removes the temporary.
mkfifo slow
for signal in HUP TERM; do
    cases=$((cases + 1))
    rm -f out.csv
    (
        trap '' HUP
        exec "$cli" batch - -o out.csv <slow
    ) &
    pid=$!
    exec 3>slow
    head -n 100 in.csv >&3
    sleep 0.3
    kill -s "$signal" "$pid"
    sleep 0.2
    tail -n +101 in.csv >&3 2>/dev/null
    exec 3>&-
    wait "$pid"
    status=$?
    if [ "$signal" = HUP ] && { [ "$status" -ne 0 ] || ! cmp -s out.csv expected.csv; }; then
        fail "an ignored SIGHUP ended the run: status $status"
    elif [ "$signal" = TERM ] && { [ "$status" -ne 143 ] || [ -e out.csv ]; }; then
        fail "SIGTERM: status $status"
    fi
done

leftovers=$(find . -name '.*.??????' | head -3)
[ -z "$leftovers" ] || fail "temporaries left behind: $leftovers"
echo "$((cases - failures)) of $cases passed"
[ "$failures" -eq 0 ]
