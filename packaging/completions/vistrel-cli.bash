# SPDX-License-Identifier: GPL-3.0-or-later
# bash completion for vistrel-cli: commands, options, column names and ease levels.

_vistrel_cli() {
    local cur prev command="" word
    cur="${COMP_WORDS[COMP_CWORD]}"
    prev="${COMP_WORDS[COMP_CWORD - 1]}"
    for word in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
        case "$word" in eval | batch | solve | sweep | check | conditions | tolerance | report | screen) command="$word"; break ;; esac
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

    # The shape of the CSV table that batch, sweep and conditions write.
    case "$prev" in
    --output-delimiter) COMPREPLY=("','" "';'" tab); return ;;
    --decimal) COMPREPLY=("','" "."); return ;;
    esac
    case "$prev" in
    --mode) mapfile -t COMPREPLY < <(compgen -W "source illuminance luminance none" -- "$cur"); return ;;
    --ease) mapfile -t COMPREPLY < <(compgen -W "50 90 95 99 effort easy very-easy attention" -- "$cur"); return ;;
    --for) mapfile -t COMPREPLY < <(compgen -W "$solvable" -- "$cur"); return ;;
    --profile) mapfile -t COMPREPLY < <(compgen -W "text-legibility stroke-width faa-distance" -- "$cur")
        mapfile -t -O "${#COMPREPLY[@]}" COMPREPLY < <(compgen -f -X '!*.toml' -- "$cur"); return ;;
    --vary | --tol)
        compopt -o nospace 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -W "$numeric" -S = -- "$cur")
        return
        ;;
    --delimiter) COMPREPLY=("','" "';'"); return ;;
    --fail-on)
        if [[ "$command" == conditions || "$command" == screen ]]; then COMPREPLY=(not-legible); else
            mapfile -t COMPREPLY < <(compgen -W "not-legible required recommended" -- "$cur"); fi
        return
        ;;
    --transfer) mapfile -t COMPREPLY < <(compgen -W "srgb linear gamma:" -- "$cur"); return ;;
    --display) mapfile -t COMPREPLY < <(compgen -f -X '!*.toml' -- "$cur"); return ;;
    --screen | --regions | --table) mapfile -t COMPREPLY < <(compgen -f -- "$cur"); return ;;
    --white-cdm2 | --black-cdm2 | --pixel-pitch-mm | --width-mm | --mm-per-pixel | --comfortable-margin) return ;;
    --review-meta) mapfile -t COMPREPLY < <(compgen -f -X '!*.toml' -- "$cur"); return ;;
    -o | --output | --plot | --conditions | --angular | --eye-points) mapfile -t COMPREPLY < <(compgen -f -- "$cur"); return ;;
    --min | --max | --steps | --plot-size | --samples | --seed | --threads | --title) return ;;
    --display-centre | --display-normal) return ;;
    --doc-id | --revision | --date | --prepared-by | --approved-by) return ;;
    esac
    if [[ " $case_options " == *" $prev "* ]]; then
        return # a value is typed here
    fi

    local options
    case "$command" in
    "") options="eval batch solve sweep check conditions tolerance report screen -h --help --version" ;;
    eval) options="-h --help --json $case_options" ;;
    batch) options="-h --help -o --output --json --keep-unknown --no-formula-guard --delimiter --profile --fail-on" ;;
    solve) options="-h --help --for --min --max --json $case_options" ;;
    sweep) options="-h --help --vary -o --output --json --plot --log-x --log --steps --plot-size $case_options" ;;
    check) options="-h --help --profile --json $case_options" ;;
    conditions) options="-h --help --conditions -o --output --no-formula-guard --fail-on $view_options" ;;
    tolerance) options="-h --help --tol --samples --seed --threads --json --plot $case_options" ;;
    report) options="-h --help -o --output --profile --conditions --tol --samples --seed --threads --title --fail-on
        --review-meta --doc-id --revision --date --prepared-by --approved-by $view_options --screen $screen_options" ;;
    screen) options="-h --help -o --output --table --no-formula-guard --fail-on $screen_options $case_options" ;;
    esac
    if [[ "$command" == batch || "$command" == sweep || "$command" == conditions ]]; then
        options+=" --output-delimiter --decimal --bom --excel-de"
    fi
    if [[ ("$command" == batch || "$command" == conditions || "$command" == report || "$command" == screen) &&
        "$cur" != -* ]]; then
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        return
    fi
    mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
}

complete -F _vistrel_cli vistrel-cli
