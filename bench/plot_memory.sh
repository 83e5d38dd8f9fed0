#!/usr/bin/env bash
# The peak memory and the time of pandicube-plot against the rows of a
# census: makes a census of ROWS bounds (one to ROWS classes each, so the
# curve rises at every bound) in the CSV that pandicube-search writes, and
# draws it as a PNG and as an SVG under /usr/bin/time -v.
#   bench/plot_memory.sh [ROWS] [PLOT OPTION...]   (default 2000000)
#   bench/plot_memory.sh 2000000 --width 4000 --height 4000
# shellcheck source-path=SCRIPTDIR source=common.sh
source "$(dirname "$0")/common.sh"
plot="${PANDICUBE_PLOT:-$build/plot/pandicube-plot}"
rows="${1:-2000000}"
options=("${@:2}")
first=255
bound=$((first + rows - 1))
version=$("$tool" --version | cut -d ' ' -f 2)
awk -v first="$first" -v bound="$bound" -v version="$version" 'BEGIN {
    printf "# pandicube-search %s --bound %d --census --format csv\n", version, bound
    print "bound,cubes,classes,cubesUpTo,classesUpTo"
    for (b = first; b <= bound; ++b) {
        k = 1 + (b * 7919) % 13
        total += k
        printf "%d,%d,%d,%d,%d\n", b, 24 * k, k, 24 * total, total
    }
    printf "# complete: %d classes, xxh3 checksum 0000000000000000\n", total
}' >"$work/census.csv"
echo "census: $rows rows, $(($(stat -c %s "$work/census.csv") / 1024 / 1024)) MB"
for picture in census.png census.svg; do
    env -u DISPLAY -u WAYLAND_DISPLAY /usr/bin/time -v -o "$work/time" \
        "$plot" "$work/census.csv" "$work/$picture" "${options[@]}"
    echo "$picture ${options[*]}: peak $(awk -F': ' '/Maximum resident/ { print $2 }' "$work/time") KB," \
        "$(awk -F': ' '/Elapsed/ { print $2 }' "$work/time") elapsed," \
        "$(awk -F': ' '/User time|System time/ { s += $2 } END { print s }' "$work/time") s of processor," \
        "picture $(($(stat -c %s "$work/$picture") / 1024)) KB"
done
