#!/usr/bin/env bash
# Full counts without reduction, side by side in one run: the straightforward
# loops (`pandicube-time reference`) and the engine on 1 and 2 threads
# (`pandicube-time units U T`), interleaved, each figure the median of RUNS
# runs (the seconds of the search itself, as pandicube-time prints them).
# The loops run only up to LOOPS_UP_TO (about 23 s at U = 500 on a quiet
# machine, and growing as U^5); above it their column stays empty.
#   bench/speed_table.sh [-r RUNS] [-l LOOPS_UP_TO] U...   (default: -r 5 -l 500 255 300 400 500 1000)
# shellcheck source-path=SCRIPTDIR source=common.sh
source "$(dirname "$0")/common.sh"
runs=5
loops_up_to=500
while getopts "r:l:" option; do
    case "$option" in
    r) runs="$OPTARG" ;;
    l) loops_up_to="$OPTARG" ;;
    *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
bounds=("$@")
[ ${#bounds[@]} -gt 0 ] || bounds=(255 300 400 500 1000)

field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p"; }

echo "| U | solutions | loops | 1 thread | ratio | 2 threads | ratio |"
echo "|---|---|---|---|---|---|---|"
for bound in "${bounds[@]}"; do
    loops=() one=() two=() solutions=""
    for _ in $(seq "$runs"); do
        if [ "$bound" -le "$loops_up_to" ]; then
            loops+=("$("$time_run" reference "$bound" 1 | field seconds)")
        fi
        line="$("$time_run" units "$bound" 1)"
        one+=("$(field seconds <<<"$line")")
        solutions="$(field solutions <<<"$line")"
        two+=("$("$time_run" units "$bound" 2 | field seconds)")
    done
    m1="$(printf '%s\n' "${one[@]}" | median)"
    m2="$(printf '%s\n' "${two[@]}" | median)"
    if [ ${#loops[@]} -gt 0 ]; then
        ml="$(printf '%s\n' "${loops[@]}" | median)"
        awk -v u="$bound" -v n="$solutions" -v l="$ml" -v a="$m1" -v b="$m2" \
            'BEGIN { printf "| %s | %s | %.2f s | %.3f s | %.0f | %.3f s | %.0f |\n", u, n, l, a, l / a, b, l / b }'
    else
        printf "| %s | %s | | %.3f s | | %.3f s | |\n" "$bound" "$solutions" "$m1" "$m2"
    fi
done
