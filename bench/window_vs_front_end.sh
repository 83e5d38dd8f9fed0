#!/usr/bin/env bash
# The window's whole run off screen against the front end's at the same bound
# and number of threads, run in turns, with the medians of each:
#   bench/window_vs_front_end.sh [BOUND] [THREADS] [ROUNDS]   (default 400, all cores, 7)
# The window's time runs from the click on "start" to the closing message; the
# front end's is its whole process (`--count-only`).
# shellcheck source-path=SCRIPTDIR source=common.sh
source "$(dirname "$0")/common.sh"
bound="${1:-400}"
threads="${2:-$(nproc)}"
rounds="${3:-7}"
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"


window_times=()
window_thread_times=()
front_end_times=()
for _ in $(seq 1 "$rounds"); do
    line="$("$build/bench/pandicube-window-time" "$bound" "$threads" 2>/dev/null)"
    window_times+=("$(sed -n 's/.* seconds=\([0-9.e-]*\).*/\1/p' <<<"$line")")
    window_thread_times+=("$(sed -n 's/.*windowThreadSeconds=\([0-9.e-]*\).*/\1/p' <<<"$line")")
    start=$(date +%s.%N)
    "$tool" --bound "$bound" --threads "$threads" --count-only >/dev/null
    front_end_times+=("$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.4f", b - a }')")
done
window=$(printf '%s\n' "${window_times[@]}" | median)
window_thread=$(printf '%s\n' "${window_thread_times[@]}" | median)
front_end=$(printf '%s\n' "${front_end_times[@]}" | median)
echo "U=$bound threads=$threads rounds=$rounds medians: window ${window} s" \
    "(its own thread busy ${window_thread} s), front end ${front_end} s," \
    "ratio $(awk -v a="$window" -v b="$front_end" 'BEGIN { printf "%.2f", a / b }')"
