#!/usr/bin/env bash
# The peak memory of `merge` against the number of solutions: makes the
# slices of a run, merges them under /usr/bin/time and prints the merge's
# maximum resident set size beside the size of the merged output.
#   bench/merge_memory.sh [BOUND] [SLICES] [FORMAT] [OPTION...]   (default 500 8 text)
# The options go to every run, e.g. --classes: bench/merge_memory.sh 700 8 text --classes
# shellcheck source-path=SCRIPTDIR source=common.sh
source "$(dirname "$0")/common.sh"
bound="${1:-500}"
slices="${2:-8}"
format="${3:-text}"
options=("${@:4}")
for k in $(seq 1 "$slices"); do
    "$tool" --bound "$bound" --slice "$k/$slices" --format "$format" "${options[@]}" --quiet \
        --output "$work/slice-$k.out"
done
for what in "merge --check" "merge"; do
    /usr/bin/time -f "%M" -o "$work/peak" "$tool" $what "$work"/slice-*.out >"$work/merged"
    echo "U=$bound slices=$slices format=$format ${options[*]} $what: peak $(cat "$work/peak") KB," \
        "output $(($(stat -c %s "$work/merged") / 1024)) KB, $(tail -n 1 "$work/merged")"
done
/usr/bin/time -f "%M" -o "$work/peak" "$tool" --bound "$bound" --format "$format" "${options[@]}" --quiet \
    --output "$work/whole.out"
echo "U=$bound the whole run itself: peak $(cat "$work/peak") KB"
cmp -s "$work/merged" "$work/whole.out" && echo "the merged output is the whole run's, byte for byte"
/usr/bin/time -f "%M" -o "$work/peak" "$tool" --bound "$bound" --format "$format" "${options[@]}" --quiet \
    --count-only >/dev/null
echo "U=$bound the whole run itself (--count-only): peak $(cat "$work/peak") KB"
