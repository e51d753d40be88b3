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
1|1 of 2 rows could not be read, and 1000 more lines were taken in by an unclosed quote; see|"$cli" batch quote.csv
1|1 of 4 rows could not be read; see their message column. The first: line 4: mode must be|"$cli" batch cr.csv
1|line 2: the record is longer than 4 MiB|"$cli" batch zeros.csv
2|missing --mode|"$cli" eval --json --age \$'\xff' >&2
1|Observer's Age is not a number|"$cli" eval --json $case_options --viewing_distance_mm 750 --age \$'\xff' >&2
END
cmp -s in.csv in.orig || fail "the input was changed"

# No output replaces a file the command reads, whatever name leads to it:
# a link, a hard link, a descriptor, or a built-in name's file.
head -n 2 in.csv >one.csv
cp "$(dirname "$cli")/profiles/faa-distance.toml" p.toml
ln -s p.toml p-link.html && ln p.toml p-hard.csv
mkdir -p data/bin data/share/vistrel && cp "$cli" data/bin/
cp -r "$(dirname "$cli")/profiles" "$(dirname "$cli")/conditions" data/share/vistrel/
ln -s data/share/vistrel/profiles/text-legibility.toml shipped.html
cp -r data/share/vistrel shipped.orig && cp p.toml p.orig
table <<END
2|the output p-link.html would overwrite the input ./p.toml|"$cli" report one.csv --profile ./p.toml -o p-link.html
2|the output p-hard.csv would overwrite the input p.toml|"$cli" batch one.csv --profile p.toml -o p-hard.csv
2|the output /proc/self/fd/3 would overwrite the input p.toml|"$cli" batch one.csv --profile p.toml -o /proc/self/fd/3 3>>p.toml
2|would overwrite the input $(pwd -P)/data/share/vistrel/profiles/faa-distance.toml|data/bin/vistrel-cli batch one.csv --profile faa-distance -o data/share/vistrel/profiles/faa-distance.toml
2|would overwrite the input $(pwd -P)/data/share/vistrel/conditions/default.csv|data/bin/vistrel-cli conditions one.csv -o data/share/vistrel/conditions/default.csv
2|the output p-link.html would overwrite the input ./p.toml|"$cli" check --case one.csv --profile ./p.toml -o p-link.html
2|would overwrite the input $(pwd -P)/data/share/vistrel/profiles/faa-distance.toml|data/bin/vistrel-cli check --case one.csv --profile faa-distance -o data/share/vistrel/profiles/faa-distance.toml
2|the output one.csv would overwrite the input one.csv|"$cli" check --case one.csv --profile p.toml -o one.csv
2|would overwrite the input $(pwd -P)/data/share/vistrel/profiles/text-legibility.toml|data/bin/vistrel-cli report one.csv --profile text-legibility -o shipped.html
END
cmp -s p.toml p.orig && diff -r data/share/vistrel shipped.orig >/dev/null || fail "an output replaced an input"

# CSV text a spreadsheet would run as a formula gets a ' in front, wherever it
# comes from: labels, columns passed through, inputs, header names, names of
# designs and conditions. --no-formula-guard writes it as it is.
printf 'id,mode,age,=cmd\n"=HYPERLINK(""x"")",none,=1+1,@SUM(1+1)\n' >formula.csv
printf 'design,mode,age\n-2+3,none,40\n' >formula-designs.csv
printf 'condition,age\n+c,50\n' >formula-conditions.csv
while IFS='|' read -r command holds; do
    cases=$((cases + 1))
    eval "$command" >formula.out 2>&1
    grep -qF -- "$holds" formula.out || fail "$command -> the output lacks $holds: $(head -c 400 formula.out)"
done <<END
"$cli" batch --keep-unknown formula.csv|"'=HYPERLINK(""x"")",none,
"$cli" batch --keep-unknown formula.csv|,'=1+1,'@SUM(1+1),
"$cli" batch --keep-unknown formula.csv -o formula-out.csv; cat formula-out.csv|,age,'=cmd,
"$cli" conditions formula-designs.csv --conditions formula-conditions.csv -o formula-out.csv; cat formula-out.csv|'-2+3,'+c,
"$cli" batch --keep-unknown --no-formula-guard formula.csv|,=1+1,@SUM(1+1),
END

# Names from files never reach a terminal as escape sequences: shown as \xNN
# there, while a file or a pipe keeps the bytes and --json escapes them.
on_terminal() { # COMMAND...: what it writes to a pseudo-terminal
    python3 -c 'import os, pty, subprocess, sys
master, slave = pty.openpty()
child = subprocess.Popen(sys.argv[1:], stdin=slave, stdout=slave, stderr=slave)
os.close(slave)
out = b""
try:
    while chunk := os.read(master, 65536):
        out += chunk
except OSError:  # EIO: the child closed the terminal
    pass
child.wait()
sys.stdout.buffer.write(out)' "$@"
}
printf 'title = "T\\u001b[31m"\n[[criterion]]\nid = "c\\u001b]0;x\\u0007"\nquantity = "ratio"\nkind = "minimum"
limit = 3\nlevel = "required"\nsource = "s\\u001b[2J"\n' >"p$esc[1m.toml"
printf 'design,mode,age\n\e[31mred,none,40\n' >esc-designs.csv
printf 'condition,age\n\e]0;x\a,50\n' >esc-conditions.csv
printf 'id,mode,age\n\e[31mred,none,40\n' >esc-rows.csv
check_case="check $case_options --viewing_distance_mm 750 --profile ./p*.toml"
while IFS='|' read -r name command; do
    cases=$((cases + 1))
    eval "on_terminal $command" >tty.out
    if grep -qF "$esc" tty.out || ! grep -qF '\x1B' tty.out; then
        fail "$name on a terminal: $(head -c 400 tty.out | cat -v)"
    fi
done <<END
profile name, title, id and source|"$cli" $check_case
design and condition names|"$cli" conditions esc-designs.csv --conditions esc-conditions.csv
design and condition names, table to -o|"$cli" conditions esc-designs.csv --conditions esc-conditions.csv -o esc.csv
batch rows|"$cli" batch esc-rows.csv
END
cases=$((cases + 1))
"$cli" batch esc-rows.csv 2>&1 | grep -qF "$esc[31mred" || fail "a pipe does not get the bytes of a batch row"
grep -qF "$esc]0;x" esc.csv || fail "-o does not get the bytes of a condition's name"
eval "\"$cli\" $check_case --json" | grep -qF 's\u001b[2J' || fail "--json does not keep a criterion's source"

# Numbers no draw could hold and seeds out of range are refused before any
# output is opened; a sweep across the range of doubles stays finite.
case_b="$case_options --viewing_distance_mm 750"
limit="its values must lie within -1e15 and 1e15"
seeds="must be a whole number from 0 to 18446744073709551615"
head -2 in.csv >one.csv
table <<END
2|$limit|"$cli" tolerance --tol illuminance_lux=±1e308 --samples 1 --threads 1 $case_b
2|$limit|"$cli" tolerance --tol illuminance_lux=uniform:-1e308:1e308 --samples 1 --threads 1 $case_b
2|$limit|"$cli" tolerance --tol illuminance_lux=normal:0:1e308 --samples 1 --threads 1 $case_b
2|$limit|"$cli" tolerance --tol illuminance_lux=normal:1e308 --samples 1 --threads 1 $case_b
0||"$cli" tolerance --tol letter_factor=normal:39:1 --samples 100 --threads 1 $case_b
2|$limit|"$cli" report one.csv -o r.html --tol illuminance_lux=±1e308
2|design 1: --tol illuminance_lux=±1e300%: illuminance_lux: $limit|"$cli" report one.csv -o r.html --tol illuminance_lux=±1e300% --samples 10
0||"$cli" sweep --vary illuminance_lux=1e-300:1e300:x10 $case_b -o s.csv
2|--seed "-1" $seeds|"$cli" tolerance --tol age=±1 --samples 10 --seed -1 $case_b
2|--seed "18446744073709551616" $seeds|"$cli" tolerance --tol age=±1 --samples 10 --seed 18446744073709551616 $case_b
2|--seed "-1" $seeds|"$cli" report one.csv -o r.html --seed -1
END
[ ! -e r.html ] || fail "a refused report was written"
"$cli" eval --json --mode luminance --letter_cdm2 50 --background_cdm2 5 --letter_height_mm 6 \
    --viewing_distance_mm 750 --ratio 7 --ease 90 --age $'\xff' 2>/dev/null | grep -qF $'\xef\xbf\xbd' || fail "invalid UTF-8 is not replaced in JSON"
if ! ldd "$cli" | grep -q libasan; then # the sanitizer cannot run under a memory limit
    # The limits are above what merely starting takes: the image decoders' libraries map far more than batch uses.
    start=20000
    while ! (ulimit -v "$start" && exec "$cli" --version) >/dev/null 2>&1 && [ "$start" -lt 2000000 ]; do
        start=$((start + 20000))
    done
    for extra in 10000 20000 40000; do # KB: some fail to start threads or to allocate, none may crash
        limit=$((start + extra))
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
{ echo name,x,y,z && seq 334 | sed 's/.*/e&,-&,0,0/'; } >e334.csv
{ echo angle_deg,factor && seq 0 9000 | sed 's/.*/&,0.5/'; } >huge-angular.csv
eyes="--display-centre 0,0,0 --display-normal -1,0,0"
table <<END
2|3 conditions seen from 334 eye points make 1002 columns of the grid, more than the 1000 conditions one run takes|"$cli" conditions one.csv --eye-points e334.csv $eyes
2|300 designs under 334 conditions make 100200 cases|"$cli" conditions in.csv --conditions <(printf "condition\nall\n") --eye-points e334.csv $eyes
2|huge-angular.csv: the table is larger than 64 KiB|"$cli" report one.csv -o r.html --angular huge-angular.csv
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
# Helpers that write without end: the writes, memory and time are bounded
# here so that a run without the cap cannot fill the disk or memory.
bounded() { (ulimit -f 300000 && { ldd "$cli" | grep -q libasan || ulimit -v 2000000; } && exec timeout 60 "$@"); }
mkdir -p endless pdf && cp "$cli" endless/ && cp "$cli" pdf/
cp -r "$(dirname "$cli")/profiles" "$(dirname "$cli")/conditions" endless/ && cp -r endless/profiles endless/conditions pdf/
printf '#!/bin/sh\nexec yes\n' >endless/vistrel-plot && cp endless/vistrel-plot pdf/vistrel-pdf
printf '#!/bin/sh\ncat >/dev/null\necho "<svg/>"\n' >pdf/vistrel-plot && chmod +x endless/vistrel-plot pdf/vistrel-*
echo old >old.html && echo old >old.pdf
table <<END
2|-o and --plot name the same file|"$cli" $sweep -o same.svg --plot same.svg
2|-o and --plot name the same file|ln -sf same.svg link.svg; "$cli" $sweep -o link.svg --plot ./same.svg
2|install the 'vistrel' package|lone/bin/vistrel-cli $sweep --plot p.svg
1|vistrel-plot ended with exit status 3|broken/vistrel-cli $sweep --plot old.svg
1|vistrel-plot ended with exit status 3|broken/vistrel-cli tolerance $case_b --tol age=+-5 --samples 100 --plot old.svg
2|install the 'vistrel' package|lone/bin/vistrel-cli tolerance $case_b --tol age=+-5 --samples 100 --plot t.svg
2|lone/share/vistrel/profiles or /|lone/bin/vistrel-cli check --profile no-such $case_options
1|vistrel-plot wrote more than 64 MiB|bounded endless/vistrel-cli $sweep -o old.svg.csv --plot old.svg
1|vistrel-plot wrote more than 64 MiB|bounded endless/vistrel-cli ${sweep/:10 /:0.01 } --plot old.svg
1|vistrel-plot wrote more than 64 MiB|bounded endless/vistrel-cli tolerance $case_b --tol age=+-5 --samples 100 --plot old.svg
1|vistrel-plot wrote more than 64 MiB|bounded endless/vistrel-cli report one.csv -o old.html
1|vistrel-pdf wrote more than 64 MiB|bounded pdf/vistrel-cli report one.csv -o old.pdf
END
[ "$(cat old.svg old.html old.pdf)" = "$(printf 'old\nold\nold')" ] || fail "a failed plot replaced the old one"
[ ! -e old.svg.csv ] || fail "a failed plot left the CSV written with it"
if [ -n "$plotter" ]; then
    cp "$plotter" installed/libexec/vistrel/
    table <<END
0||installed/bin/vistrel-cli $sweep -o - --plot=-dash.svg
1|cannot write full.svg: No space left on device|ln -sf /dev/full full.svg; "$cli" $sweep --plot full.svg
0|2 points could not be drawn|"$cli" sweep --vary letter_factor=2e307:3e307:1e307 $case_options --viewing_distance_mm 750 --plot huge.png
0||installed/bin/vistrel-cli tolerance $case_b --tol age=+-5 --samples 100 --plot tornado.svg
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

# A run that crashes (here: is killed) leaves its temporary; writing the
# same name again removes it once it is stale, but not one a living run holds.
cases=$((cases + 1))
temporaries() { find . -name '.crashed.csv.vistrel-??????'; }
until_temporaries() { for _ in $(seq 50); do [ "$(temporaries | wc -l)" -ge "$1" ] && break || sleep 0.1; done; }
mkfifo crash live
"$cli" batch - -o crashed.csv <crash &
crashed=$!
exec 3>crash
until_temporaries 1
kill -KILL "$crashed"
wait "$crashed" 2>/dev/null
exec 3>&-
"$cli" batch - -o crashed.csv <live 2>err.txt &
living=$!
exec 3>live
head -n 100 in.csv >&3
until_temporaries 2
if [ "$(temporaries | wc -l)" -eq 2 ]; then
    touch -d '-11 minutes' $(temporaries)
else
    fail "not the temporaries of a killed and a living run: $(temporaries)"
fi
"$cli" batch one.csv -o crashed.csv || fail "a write beside temporaries failed"
tail -n +101 in.csv >&3
exec 3>&-
wait "$living" || fail "a run lost its temporary to another: $(cat err.txt)"
cmp -s crashed.csv expected.csv || fail "the run that held its temporary did not write it"

# A conditions table never has rows longer than its header, whether the
# glare columns come from the designs or from the conditions.
printf 'design,mode,letter_cdm2,background_cdm2,age,letter_height_mm,viewing_distance_mm,ratio,ease\n' >lum.csv
echo 'd,luminance,10,0.5,65,4.5,800,7,90' >>lum.csv
sed '1s/$/,eye_pigment/;2s/$/,1/' lum.csv >lum-glare.csv
printf 'condition,glare_lux,glare_angle_deg\nnight,,\noncoming,1;0.2,5;10\n' >glare-conditions.csv
for run in "lum-glare.csv" "lum.csv --conditions glare-conditions.csv"; do
    cases=$((cases + 1))
    # shellcheck disable=SC2086
    "$cli" conditions $run -o table.csv >/dev/null
    [ "$(awk -F, '{print NF}' table.csv | sort -u)" = 45 ] || fail "conditions $run: rows and header differ in cells"
done

leftovers=$(find . -name '.*.vistrel-??????' -o -name '.*.??????' | head -3)
[ -z "$leftovers" ] || fail "temporaries left behind: $leftovers"
echo "$((cases - failures)) of $cases passed"
[ "$failures" -eq 0 ]
