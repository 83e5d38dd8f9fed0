#!/usr/bin/env bash
# The census against the counts it stands beside: for each U, in turns, whole
# `pandicube-search` processes of --census, --classes --count-only and
# --count-only on THREADS threads (wall and CPU seconds, user + system, from
# /usr/bin/time; the census with its peak memory). Each figure is the median
# of RUNS rounds.
#   bench/census_speed.sh [-r RUNS] [-t THREADS] U...   (default: -r 3 -t 2 1000)
# shellcheck source-path=SCRIPTDIR source=common.sh
source "$(dirname "$0")/common.sh"
search="$tool"
runs=3
threads=2
while getopts "r:t:" option; do
    case "$option" in
    r) runs="$OPTARG" ;;
    t) threads="$OPTARG" ;;
    *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
bounds=("$@")
[ ${#bounds[@]} -gt 0 ] || bounds=(1000)

# Wall seconds, CPU seconds and peak kilobytes of one whole command, its output dropped.
measure() { /usr/bin/time -f "%e %U %S %M" "$@" 2>&1 >/dev/null | tail -n 1 | awk '{ print $1, $2 + $3, $4 }'; }

echo "| U | --census | its CPU | its memory | --classes --count-only | its CPU | --count-only | its CPU |"
echo "|---|---|---|---|---|---|---|---|"
for bound in "${bounds[@]}"; do
    cw=() cc=() cm=() kw=() kc=() nw=() nc=()
    for _ in $(seq "$runs"); do
        read -r w c m < <(measure "$search" --bound "$bound" --census --threads "$threads" --quiet)
        cw+=("$w") cc+=("$c") cm+=("$m")
        read -r w c _ < <(measure "$search" --bound "$bound" --classes --count-only --threads "$threads" --quiet)
        kw+=("$w") kc+=("$c")
        read -r w c _ < <(measure "$search" --bound "$bound" --count-only --threads "$threads" --quiet)
        nw+=("$w") nc+=("$c")
    done
    m() { printf '%s\n' "$@" | median; }
    awk -v u="$bound" -v cw="$(m "${cw[@]}")" -v cc="$(m "${cc[@]}")" -v cm="$(m "${cm[@]}")" \
        -v kw="$(m "${kw[@]}")" -v kc="$(m "${kc[@]}")" -v nw="$(m "${nw[@]}")" -v nc="$(m "${nc[@]}")" 'BEGIN {
            printf "| %s | %.2f s | %.2f s | %.0f MB | %.2f s | %.2f s | %.2f s | %.2f s |\n",
                u, cw, cc, cm / 1024, kw, kc, nw, nc }'
done
