#!/usr/bin/env bash
# How long a run takes to end after SIGTERM, in every mode at the largest
# bound: starts the release pandicube-search with --output, sends SIGTERM
# after WAIT seconds, and prints the milliseconds from the signal to the end
# of the process, with its exit status (143: ended by the signal, with its
# interruption record), for each mode, ROUNDS times.
#   bench/stop_latency.sh [WAIT] [ROUNDS] [BOUND]   (default 8 s, 3 rounds, 8323513)
# PANDICUBE_SEARCH names another program, e.g. an earlier build to compare.
# shellcheck source-path=SCRIPTDIR source=common.sh
source "$(dirname "$0")/common.sh"
wait_s="${1:-8}"
rounds="${2:-3}"
bound="${3:-8323513}"
modes=(
    "--count-only --threads 2"
    "--threads 2"
    "--census --threads 2"
    "--start 203,-75,-30,-58 --count-only --threads 2"
    "--start 203,-75,-30,-58 --threads 2"
    "--reduce --count-only"
    "--reduce"
)
printf '%-52s %8s %s\n' mode ms status
for mode in "${modes[@]}"; do
    for ((round = 1; round <= rounds; ++round)); do
        rm -f "$work/o" "$work/o.part"
        # shellcheck disable=SC2086 # the mode is a list of options
        "$tool" --bound "$bound" $mode --quiet --output "$work/o" 2>/dev/null &
        pid=$!
        sleep "$wait_s"
        sent=$(date +%s%N)
        if ! kill -TERM "$pid" 2>/dev/null; then
            printf '%-52s %8s %s\n' "$mode" - "ended before the signal"
            wait "$pid" || true
            continue
        fi
        status=0
        wait "$pid" || status=$?
        printf '%-52s %8d %s\n' "$mode" $((($(date +%s%N) - sent) / 1000000)) "$status"
    done
done
