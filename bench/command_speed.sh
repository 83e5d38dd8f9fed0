#!/usr/bin/env bash
# The command against its engine: for each U, in turns, the engine's full count
# (`pandicube-time units U T`, the seconds of the search itself) and whole
# `pandicube-search` processes (wall seconds from /usr/bin/time): the count
# (--count-only) on 1 and 2 threads, the listing to /dev/null on 1 and 2
# threads, and --classes --count-only and the listing of the classes (--classes)
# on 2 threads, each with its peak memory.
# Each figure is the median of RUNS rounds.
#   bench/command_speed.sh [-r RUNS] U...   (default: -r 3 500 700 1000)
# shellcheck source-path=SCRIPTDIR source=common.sh
source "$(dirname "$0")/common.sh"
runs=3
while getopts "r:" option; do
    case "$option" in
    r) runs="$OPTARG" ;;
    *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
bounds=("$@")
[ ${#bounds[@]} -gt 0 ] || bounds=(500 700 1000)

field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p"; }
# Wall seconds and peak kilobytes of one whole command, its output dropped.
measure() { /usr/bin/time -f "%e %M" "$@" 2>&1 >/dev/null | tail -n 1; }

echo "| U | engine 1 | --count-only 1 | ratio | engine 2 | --count-only 2 | ratio | 2 against 1 |" \
    "listing 1 | listing 2 | 2 against 1 | --classes --count-only 2 | its memory | --classes 2 | its memory |"
echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|"
for bound in "${bounds[@]}"; do
    e1=() e2=() c1=() c2=() l1=() l2=() k2=() km=() n2=() nm=()
    for _ in $(seq "$runs"); do
        e1+=("$("$time_run" units "$bound" 1 | field seconds)")
        read -r s _ < <(measure "$tool" --bound "$bound" --count-only --threads 1 --quiet)
        c1+=("$s")
        read -r s _ < <(measure "$tool" --bound "$bound" --threads 1 --quiet)
        l1+=("$s")
        e2+=("$("$time_run" units "$bound" 2 | field seconds)")
        read -r s _ < <(measure "$tool" --bound "$bound" --count-only --threads 2 --quiet)
        c2+=("$s")
        read -r s _ < <(measure "$tool" --bound "$bound" --threads 2 --quiet)
        l2+=("$s")
        read -r s m < <(measure "$tool" --bound "$bound" --classes --count-only --threads 2 --quiet)
        k2+=("$s")
        km+=("$m")
        read -r s m < <(measure "$search" --bound "$bound" --classes --threads 2 --quiet)
        n2+=("$s")
        nm+=("$m")
    done
    m() { printf '%s\n' "$@" | median; }
    awk -v u="$bound" -v e1="$(m "${e1[@]}")" -v c1="$(m "${c1[@]}")" -v e2="$(m "${e2[@]}")" \
        -v c2="$(m "${c2[@]}")" -v l1="$(m "${l1[@]}")" -v l2="$(m "${l2[@]}")" -v k2="$(m "${k2[@]}")" \
        -v km="$(m "${km[@]}")" -v n2="$(m "${n2[@]}")" -v nm="$(m "${nm[@]}")" 'BEGIN {
            printf "| %s | %.2f s | %.2f s | %.2f | %.2f s | %.2f s | %.2f | %.2f | %.2f s | %.2f s | %.2f | %.2f s | %.0f MB | %.2f s | %.0f MB |\n",
                u, e1, c1, c1 / e1, e2, c2, c2 / e2, c1 / c2, l1, l2, l1 / l2, k2, km / 1024, n2, nm / 1024 }'
done
