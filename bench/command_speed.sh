#!/usr/bin/env bash
# The command against its engine: for each U, in turns, the engine's full count
# (`pandicube-time units U T`, the seconds of the search itself) and whole
# `pandicube-search` processes (wall seconds from /usr/bin/time): the count
# (--count-only) on 1 and 2 threads, the listing to /dev/null on 1 and 2
# threads, and --classes --count-only and the listing of the classes (--classes)
# on 2 threads, each with its peak memory.
# With -p PREVIOUS (a folder holding an earlier pandicube-search and
# pandicube-time, or their build folder), each command of the earlier build
# runs right before the same command of this one, and a second table gives,
# per command, the median of the paired ratios of seconds (earlier / this:
# above 1, this build is faster).
# Each figure is the median of RUNS rounds.
#   bench/command_speed.sh [-r RUNS] [-p PREVIOUS] U...   (default: -r 3 500 700 1000)
# shellcheck source-path=SCRIPTDIR source=common.sh
source "$(dirname "$0")/common.sh"
runs=3
previous="" previous_time="" previous_search=""
while getopts "r:p:" option; do
    case "$option" in
    r) runs="$OPTARG" ;;
    p)
        previous="$OPTARG"
        previous_time="$(program_in "$OPTARG" pandicube-time)"
        previous_search="$(program_in "$OPTARG" pandicube-search)"
        ;;
    *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
bounds=("$@")
[ ${#bounds[@]} -gt 0 ] || bounds=(500 700 1000)

field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p"; }
# Wall seconds and peak kilobytes of one whole command, its output dropped.
measure() { /usr/bin/time -f "%e %M" "$@" 2>&1 >/dev/null | tail -n 1; }
# Seconds and peak kilobytes of one command of pandicube-time (the search's
# own seconds, no memory) or of pandicube-search.
timed() {
    local program=$1
    shift
    if [[ $program == *pandicube-time ]]; then
        echo "$("$program" "$@" | field seconds) 0"
    else
        measure "$program" "$@"
    fi
}
# KEY PROGRAM ARGS...: one run of the command (PROGRAM time or search), its
# seconds and kilobytes appended to the arrays KEY_s and KEY_m, and with -p
# the ratio against the earlier build's run just before to KEY_r.
take() {
    local -n seconds="$1_s" kilobytes="$1_m" ratios="$1_r"
    local this="$time_run" earlier="$previous_time" s m before
    [ "$2" = search ] && this="$tool" earlier="$previous_search"
    shift 2
    if [ -n "$previous" ]; then read -r before _ < <(timed "$earlier" "$@"); fi
    read -r s m < <(timed "$this" "$@")
    seconds+=("$s") kilobytes+=("$m")
    if [ -n "$previous" ]; then ratios+=("$(awk -v a="$before" -v b="$s" 'BEGIN { print (b > 0 ? a / b : 0) }')"); fi
}
m() { printf '%s\n' "$@" | median; }

keys=(e1 c1 l1 e2 c2 l2 k2 n2)
table="$work/table"
against="$work/against"
echo "| U | engine 1 | --count-only 1 | ratio | engine 2 | --count-only 2 | ratio | 2 against 1 |" \
    "listing 1 | listing 2 | 2 against 1 | --classes --count-only 2 | its memory | --classes 2 | its memory |" >"$table"
echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|" >>"$table"
echo "| U | engine 1 | --count-only 1 | listing 1 | engine 2 | --count-only 2 | listing 2 |" \
    "--classes --count-only 2 | --classes 2 |" >"$against"
echo "|---|---|---|---|---|---|---|---|---|" >>"$against"
for bound in "${bounds[@]}"; do
    for key in "${keys[@]}"; do declare -a "${key}_s=()" "${key}_m=()" "${key}_r=()"; done
    for _ in $(seq "$runs"); do
        take e1 time units "$bound" 1
        take c1 search --bound "$bound" --count-only --threads 1 --quiet
        take l1 search --bound "$bound" --threads 1 --quiet
        take e2 time units "$bound" 2
        take c2 search --bound "$bound" --count-only --threads 2 --quiet
        take l2 search --bound "$bound" --threads 2 --quiet
        take k2 search --bound "$bound" --classes --count-only --threads 2 --quiet
        take n2 search --bound "$bound" --classes --threads 2 --quiet
    done
    # shellcheck disable=SC2154 # take fills the arrays
    awk -v u="$bound" -v e1="$(m "${e1_s[@]}")" -v c1="$(m "${c1_s[@]}")" -v e2="$(m "${e2_s[@]}")" \
        -v c2="$(m "${c2_s[@]}")" -v l1="$(m "${l1_s[@]}")" -v l2="$(m "${l2_s[@]}")" -v k2="$(m "${k2_s[@]}")" \
        -v km="$(m "${k2_m[@]}")" -v n2="$(m "${n2_s[@]}")" -v nm="$(m "${n2_m[@]}")" 'BEGIN {
            printf "| %s | %.2f s | %.2f s | %.2f | %.2f s | %.2f s | %.2f | %.2f | %.2f s | %.2f s | %.2f | %.2f s | %.0f MB | %.2f s | %.0f MB |\n",
                u, e1, c1, c1 / e1, e2, c2, c2 / e2, c1 / c2, l1, l2, l1 / l2, k2, km / 1024, n2, nm / 1024 }' >>"$table"
    if [ -n "$previous" ]; then
        row="| $bound |"
        for key in "${keys[@]}"; do
            declare -n of_key="${key}_r"
            row+=" $(m "${of_key[@]}" | awk '{ printf "%.2f", $1 }') |"
        done
        echo "$row" >>"$against"
    fi
done
cat "$table"
if [ -n "$previous" ]; then
    echo
    echo "Against $previous (earlier seconds / these, medians of paired runs):"
    echo
    cat "$against"
fi
