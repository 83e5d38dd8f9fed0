#!/usr/bin/env bash
# The peak memory of runs that go on for a while at a large bound: each run
# is stopped with SIGTERM after SECONDS (it then writes its interruption
# record) and /usr/bin/time -v gives its maximum resident set size; the
# listing of the classes last.
#   bench/memory_over_time.sh [SECONDS] [BOUND]   (default 60 8323513)
# shellcheck source-path=SCRIPTDIR source=common.sh
source "$(dirname "$0")/common.sh"
seconds="${1:-60}"
bound="${2:-8323513}"
for options in "--threads 1" "--threads 2" "--threads 64" "--classes --threads 2"; do
    # shellcheck disable=SC2086 # the options are words
    /usr/bin/time -v -o "$work/time" timeout "$seconds" "$tool" --bound "$bound" --count-only $options --quiet \
        >"$work/out" || true
    peak=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time")
    echo "U=$bound --count-only $options, stopped after ${seconds} s: peak $((peak / 1024)) MB;" \
        "$(tail -n 1 "$work/out")"
done
# The listing of the classes, which numbers them from the members ahead (its
# records, some hundred MB a second, go to /dev/null).
/usr/bin/time -v -o "$work/time" timeout "$seconds" "$tool" --bound "$bound" --classes --threads 2 --quiet \
    >/dev/null || true
peak=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time")
echo "U=$bound --classes --threads 2, stopped after ${seconds} s: peak $((peak / 1024)) MB"
