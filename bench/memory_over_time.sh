#!/usr/bin/env bash
# The peak memory of runs that go on for a while at a large bound: each run
# is stopped with SIGTERM after SECONDS (it then writes its interruption
# record) and /usr/bin/time -v gives its maximum resident set size; the
# listing of the classes last. With SLICE (K/N), one slice of the run in
# every mode (count, listing, census, classes) on 1 and 2 threads: the slices
# of many, whose units lie far apart, meet the largest units soonest.
#   bench/memory_over_time.sh [SECONDS] [BOUND] [SLICE]   (default 60 8323513)
# shellcheck source-path=SCRIPTDIR source=common.sh
source "$(dirname "$0")/common.sh"
seconds="${1:-60}"
bound="${2:-8323513}"
slice="${3:-}"

# peak WHAT OPTIONS...: runs the search for `seconds`, its records passed
# over but the last, and prints the peak with the interruption record's
# first words.
peak() {
    local what="$1"
    shift
    /usr/bin/time -v -o "$work/time" timeout "$seconds" "$tool" --bound "$bound" "$@" --quiet 2>/dev/null |
        tail -n 1 | cut -c 1-60 >"$work/last" || true
    local kb
    kb=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time")
    echo "U=$bound $what, stopped after ${seconds} s: peak $((kb / 1024)) MB; $(cat "$work/last")"
}

if [ -n "$slice" ]; then
    for threads in 1 2; do
        peak "--slice $slice --count-only --threads $threads" --slice "$slice" --count-only --threads "$threads"
        peak "--slice $slice (listing) --threads $threads" --slice "$slice" --threads "$threads"
        peak "--slice $slice --census --threads $threads" --slice "$slice" --census --threads "$threads"
        peak "--slice $slice --classes --threads $threads" --slice "$slice" --classes --threads "$threads"
    done
    exit 0
fi
for options in "--threads 1" "--threads 2" "--threads 64" "--classes --threads 2"; do
    # shellcheck disable=SC2086 # the options are words
    peak "--count-only $options" --count-only $options
done
# The listing of the classes, which numbers them from the members ahead (its
# records, some hundred MB a second, go to a file).
peak "--classes --threads 2" --classes --threads 2
