#!/usr/bin/env bash
# The time from the start of a run to its first solution, and the run's peak
# memory: starts the release pandicube-search under /usr/bin/time, watches its
# output for the first solution line, then stops it with SIGINT (which ends
# the run with its interruption record) and prints both figures. A run with
# no solution within LIMIT seconds is stopped there and says so. With TTY=1
# standard error is a terminal (through script), so that the progress line is
# drawn as well.
#   bench/first_solution.sh [BOUND] [THREADS] [LIMIT] [EXTRA OPTIONS...]
#   (default 8323513, 2 threads, 30 s), e.g.
#   for t in 1 2 64 1024; do bench/first_solution.sh 8323513 $t; done
# shellcheck source-path=SCRIPTDIR source=common.sh
source "$(dirname "$0")/common.sh"
bound="${1:-8323513}"
threads="${2:-2}"
limit="${3:-30}"
shift $(($# < 3 ? $# : 3))
command=(/usr/bin/time -f %M -o "$work/peak" "$tool" --bound "$bound" --threads "$threads" "$@")
start=$(date +%s%N)
if [ "${TTY:-0}" = 1 ]; then
    script -qc "$(printf '%q ' "${command[@]}") >$work/out" /dev/null >/dev/null &
else
    "${command[@]}" >"$work/out" 2>/dev/null &
fi
timer=$!
found=""
touch "$work/out"
while kill -0 "$timer" 2>/dev/null; do
    if [ "$(grep -c -m 1 '^solution \|"solution"' "$work/out" || true)" != 0 ]; then
        found=$((($(date +%s%N) - start) / 1000000))
        break
    fi
    if [ $((($(date +%s%N) - start) / 1000000000)) -ge "$limit" ]; then break; fi
    sleep 0.01
done
# A run that ended between two looks.
if [ -z "$found" ] && grep -q -m 1 '^solution \|"solution"' "$work/out"; then
    found=$((($(date +%s%N) - start) / 1000000))
fi
# Stop the run (the last descendant of the process started here, by its
# process id) and let time report.
leaf="$timer"
while next="$(pgrep -P "$leaf" | head -n 1)" && [ -n "$next" ]; do leaf="$next"; done
[ "$leaf" != "$timer" ] && kill -INT "$leaf" 2>/dev/null || true
# The run sees the signal between two outer units; one unit of a run from
# start values at a large bound can take minutes.
for _ in $(seq 50); do kill -0 "$leaf" 2>/dev/null && sleep 0.1; done
[ "$leaf" != "$timer" ] && kill -KILL "$leaf" 2>/dev/null || true
wait "$timer" || true
what="${found:+first solution after $found ms}"
echo "U=$bound threads=$threads $*: ${what:-no solution within $limit s}, peak $(tail -n 1 "$work/peak") KB"
