#!/usr/bin/env bash
# The time and peak memory of `verify --classes` against the size of the
# listing: makes a listing (by default the --classes listing) at BOUND, then
# groups it under /usr/bin/time and prints the seconds, the maximum resident
# set size and the listing's size.
#   bench/verify_classes_memory.sh [BOUND] [OPTION...]   (default 1000 --classes)
# e.g. the full listing: bench/verify_classes_memory.sh 600 --threads 2
# shellcheck source-path=SCRIPTDIR source=common.sh
source "$(dirname "$0")/common.sh"
bound="${1:-1000}"
options=("${@:2}")
[ $# -ge 2 ] || options=(--classes)
"$tool" --bound "$bound" "${options[@]}" --quiet --output "$work/listing"
/usr/bin/time -f "%e %M" -o "$work/cost" "$tool" verify --classes "$work/listing" >"$work/classes"
read -r seconds peak <"$work/cost"
echo "U=$bound ${options[*]}: listing $(($(stat -c %s "$work/listing") / 1048576)) MB;" \
    "verify --classes $seconds s, peak $((peak / 1024)) MB; $(tail -n 2 "$work/classes" | head -n 1)"
