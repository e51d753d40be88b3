# SPDX-License-Identifier: GPL-3.0-or-later
# bash completion for vistrel-cli: commands, options, column names and ease levels.

# Files ending in one of the extensions given, and folders to walk into.
_vistrel_cli_files() {
    local ext
    compopt -o filenames 2>/dev/null
    COMPREPLY=()
    for ext in "$@"; do
        mapfile -t -O "${#COMPREPLY[@]}" COMPREPLY < <(compgen -f -X "!*.$ext" -- "$cur")
    done
    mapfile -t -O "${#COMPREPLY[@]}" COMPREPLY < <(compgen -d -- "$cur")
}

_vistrel_cli() {
    local cur prev command="" word
    cur="${COMP_WORDS[COMP_CWORD]}"
    prev="${COMP_WORDS[COMP_CWORD - 1]}"
    for word in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
        case "$word" in eval | batch | solve | sweep | check | conditions | tolerance | report | screen | help) command="$word"; break ;; esac
    done

    local solvable="source_cd distance_m distance_ft distance_in illuminance_lux illuminance_fc
        background_cdm2 background_fl letter_cdm2 letter_fl letter_factor background_factor
        age viewing_distance_mm letter_height_mm ratio field_correction
        ambient_lux display_reflectance specular_cdm2 specular_reflectance veil_cdm2
        glare_lux glare_angle_deg eye_pigment"
    local numeric="$solvable letter_reflectance background_reflectance
        view_tilt_deg view_pan_deg off_axis_factor"
    local case_options="--mode --ease --eye --display-centre --display-normal --glare" name
    for name in $numeric; do
        case_options+=" --$name"
    done
    case_options+=" --angular"
    local view_options="--angular --eye-points --display-centre --display-normal"
    local screen_options="--display --white-cdm2 --black-cdm2 --transfer --pixel-pitch-mm --width-mm --mm-per-pixel
        --regions --comfortable-margin"

    # The shape of the CSV table that batch, sweep, conditions and check write.
    case "$prev" in
    --output-delimiter) COMPREPLY=("','" "';'" tab); return ;;
    --decimal) COMPREPLY=("','" "."); return ;;
    esac
    local images="png PNG jpg JPG jpeg tif tiff bmp pfm"
    case "$prev" in
    --mode) mapfile -t COMPREPLY < <(compgen -W "source illuminance luminance none" -- "$cur"); return ;;
    --ease) mapfile -t COMPREPLY < <(compgen -W "50 90 95 99 effort easy very-easy attention" -- "$cur"); return ;;
    --for) mapfile -t COMPREPLY < <(compgen -W "$solvable" -- "$cur"); return ;;
    --profile) _vistrel_cli_files toml
        mapfile -t -O "${#COMPREPLY[@]}" COMPREPLY < <(compgen -W "text-legibility stroke-width faa-distance" -- "$cur")
        return ;;
    --case) _vistrel_cli_files csv toml; return ;;
    --vary | --tol)
        compopt -o nospace 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -W "$numeric" -S = -- "$cur")
        return
        ;;
    --delimiter) COMPREPLY=("','" "';'" tab); return ;;
    --fail-on)
        if [[ "$command" == conditions || "$command" == screen ]]; then COMPREPLY=(not-legible); else
            mapfile -t COMPREPLY < <(compgen -W "not-legible required recommended" -- "$cur"); fi
        return
        ;;
    --transfer) mapfile -t COMPREPLY < <(compgen -W "srgb linear gamma:" -- "$cur"); return ;;
    --display | --review-meta) _vistrel_cli_files toml; return ;;
    --screen) _vistrel_cli_files $images; return ;;
    --regions | --conditions | --angular | --eye-points) _vistrel_cli_files csv; return ;;
    --table) _vistrel_cli_files csv json; return ;;
    --plot) _vistrel_cli_files svg png pdf; return ;;
    -o | --output)
        case "$command" in
        report) _vistrel_cli_files html htm pdf ;;
        screen) _vistrel_cli_files png ;;
        check) _vistrel_cli_files csv xlsx ;;
        *) _vistrel_cli_files csv jsonl json xlsx ;;
        esac
        return
        ;;
    --white-cdm2 | --black-cdm2 | --pixel-pitch-mm | --width-mm | --mm-per-pixel | --comfortable-margin) return ;;
    --min | --max | --steps | --plot-size | --samples | --seed | --threads | --title) return ;;
    --display-centre | --display-normal) return ;;
    --doc-id | --revision | --date | --prepared-by | --approved-by) return ;;
    esac
    if [[ " $case_options " == *" $prev "* ]]; then
        return # a value is typed here
    fi

    local options
    case "$command" in
    "") options="eval batch solve sweep check conditions tolerance report screen help -h --help --version" ;;
    help) options="eval batch solve sweep check conditions tolerance report screen" ;;
    eval) options="-h --help --json --case $case_options" ;;
    batch) options="-h --help -o --output --json --keep-unknown --no-formula-guard --quiet --delimiter --profile --fail-on" ;;
    solve) options="-h --help --for --min --max --json --case $case_options" ;;
    sweep) options="-h --help --vary -o --output --json --plot --log-x --log --steps --plot-size $case_options" ;;
    check) options="-h --help --profile --json -o --output --no-formula-guard --case $case_options" ;;
    conditions) options="-h --help --conditions -o --output --no-formula-guard --quiet --fail-on $view_options" ;;
    tolerance) options="-h --help --tol --samples --seed --threads --quiet --json --plot --case $case_options" ;;
    report) options="-h --help -o --output --case --profile --conditions --tol --samples --seed --threads --quiet --title --fail-on
        --review-meta --doc-id --revision --date --prepared-by --approved-by $view_options --screen $screen_options" ;;
    screen) options="-h --help -o --output --table --no-formula-guard --quiet --fail-on $screen_options $case_options" ;;
    esac
    if [[ "$command" == batch || "$command" == sweep || "$command" == conditions || "$command" == check ]]; then
        options+=" --output-delimiter --decimal --bom --excel-de"
    fi
    if [[ "$cur" != -* ]]; then
        case "$command" in
        batch | conditions | report) _vistrel_cli_files csv; return ;;
        screen) _vistrel_cli_files $images; return ;;
        esac
    fi
    mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
}

complete -F _vistrel_cli vistrel-cli
