#!/usr/bin/env bash
# The GNU parallel recipe of docs/long-runs.md, run as written with one job
# killed outright in the middle of its slice (as a lost machine or the
# kernel's out-of-memory killer ends it): parallel reports the failed job,
# --resume-failed runs just that one again, and --continue goes on with its
# .part. merge --check then finds a whole set, and the merge is the whole
# run's bytes.
#   parallel_test.sh BIN_DIR
set -uo pipefail
export PATH="$1:$PATH"
if ! command -v parallel >/dev/null; then
    echo "skipped: GNU parallel is missing (Debian package parallel)"
    exit 77
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
here="$(pwd -P)"
fail() {
    echo "FAILED: $*" >&2
    exit 1
}

# The recipe, with the bound of the test.
recipe() {
    cmd='pandicube-search --bound 1000 --count-only --slice {}/8 --threads 1 --quiet --output slice-{}.out --continue'
    parallel -j2 --joblog slices.log "$cmd" ::: $(seq 1 8) ||
        parallel -j2 --resume-failed --joblog slices.log "$cmd" ::: $(seq 1 8)
}

# Kills slice 3 of this test's recipe: of the processes running a slice 3/8,
# the one working in this test's folder (another run of the test, or of the
# recipe, may be going on elsewhere on the machine).
kill_slice_3() {
    local pid killed_one=1
    for pid in $(pgrep -f -- "--slice 3/8 "); do
        if [ "$(readlink "/proc/$pid/cwd")" = "$here" ] && kill -KILL "$pid" 2>/dev/null; then killed_one=0; fi
    done
    return "$killed_one"
}

recipe >recipe.txt 2>&1 &
recipe_pid=$!
# Kill slice 3 once it has written a part of its output.
killed=0
for _ in $(seq 1 600); do
    if [ -s slice-3.out.part ] && kill_slice_3; then
        killed=1
        break
    fi
    sleep 0.05
done
wait "$recipe_pid" || fail "the recipe failed: $(cat recipe.txt)"
[ "$killed" = 1 ] || fail "slice 3 ended before it could be killed"
# The job log holds the killed run of slice 3 (signal 9) and its rerun.
[ "$(awk -F '\t' '$9 ~ /slice 3\/8/ && $8 == 9' slices.log | wc -l)" = 1 ] || fail "slices.log: $(cat slices.log)"
[ "$(awk -F '\t' '$9 ~ /slice 3\/8/ && $7 == 0 && $8 == 0' slices.log | wc -l)" = 1 ] ||
    fail "slice 3 was not run again: $(cat slices.log)"

pandicube-search merge --check slice-*.out || fail "merge --check"
pandicube-search merge --output run-1000.txt slice-*.out || fail "merge"
pandicube-search --bound 1000 --count-only --threads 2 --quiet >whole.txt
cmp run-1000.txt whole.txt || fail "the merge differs from the whole run"
echo "parallel test passed"
