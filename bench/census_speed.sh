#!/usr/bin/env bash
# The census against the counts it stands beside: for each U, in turns, whole
# `pandicube-search` processes of --census, --classes --count-only and
# --count-only on THREADS threads (wall and CPU seconds, user + system, from
# /usr/bin/time; the census with its peak memory). --count-only is left out
# above U = 1000, where it takes minutes. With -p PREVIOUS (a folder holding
# an earlier pandicube-search, or its build folder), each command of the
# earlier build runs right before the same command of this one, and the
# columns "against PREVIOUS" give the median of the paired ratios of wall
# seconds (earlier / this: above 1, this build is faster). Each figure is the
# median of RUNS rounds. The census at U = 2001 takes about half a minute a
# run: the bench is not part of CI.
#   bench/census_speed.sh [-r RUNS] [-t THREADS] [-p PREVIOUS] U...   (default: -r 3 -t 2 1000 2001)
# shellcheck source-path=SCRIPTDIR source=common.sh
source "$(dirname "$0")/common.sh"
search="$tool"
previous=""
runs=3
threads=2
while getopts "r:t:p:" option; do
    case "$option" in
    r) runs="$OPTARG" ;;
    t) threads="$OPTARG" ;;
    p) previous="$(program_in "$OPTARG" pandicube-search)" ;;
    *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
bounds=("$@")
[ ${#bounds[@]} -gt 0 ] || bounds=(1000 2001)

# Wall seconds, CPU seconds and peak kilobytes of one whole command, its output dropped.
measure() { /usr/bin/time -f "%e %U %S %M" "$@" 2>&1 >/dev/null | tail -n 1 | awk '{ print $1, $2 + $3, $4 }'; }

# One command's figures over the runs: "wall CPU memory ratio" (medians; the
# ratio against the previous build, or - without one). $1 names the result
# variable; the rest is the command's options.
measure_runs() {
    local -n result=$1
    shift
    local w=() c=() m=() r=() pw
    for _ in $(seq "$runs"); do
        if [ -n "$previous" ]; then read -r pw _ _ < <(measure "$previous" "$@"); fi
        read -r ww cc mm < <(measure "$search" "$@")
        w+=("$ww") c+=("$cc") m+=("$mm")
        if [ -n "$previous" ]; then r+=("$(awk -v a="$pw" -v b="$ww" 'BEGIN { print (b > 0 ? a / b : 0) }')"); fi
    done
    result="$(printf '%s\n' "${w[@]}" | median) $(printf '%s\n' "${c[@]}" | median) $(printf '%s\n' "${m[@]}" | median)"
    if [ -n "$previous" ]; then result+=" $(printf '%s\n' "${r[@]}" | median)"; else result+=" -"; fi
}

against="against previous"
[ -z "$previous" ] || echo "previous: $previous"
echo "| U | --census | its CPU | its memory | $against | --classes --count-only | its CPU | $against |" \
    "--count-only | its CPU | $against |"
echo "|---|---|---|---|---|---|---|---|---|---|---|"
for bound in "${bounds[@]}"; do
    measure_runs census --bound "$bound" --census --threads "$threads" --quiet
    measure_runs classes --bound "$bound" --classes --count-only --threads "$threads" --quiet
    count="- - - -"
    if [ "$bound" -le 1000 ]; then measure_runs count --bound "$bound" --count-only --threads "$threads" --quiet; fi
    # shellcheck disable=SC2086,SC2154 # the figures split into awk's fields; measure_runs sets them
    echo "$bound $census $classes $count" | awk '
        function s(v) { return v == "-" ? "-" : sprintf("%.2f s", v) }
        function r(v) { return v == "-" ? "-" : sprintf("%.2f", v) }
        { printf "| %s | %s | %s | %.0f MB | %s | %s | %s | %s | %s | %s | %s |\n",
              $1, s($2), s($3), $4 / 1024, r($5), s($6), s($7), r($9), s($10), s($11), r($13) }'
done
