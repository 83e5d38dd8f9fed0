#!/usr/bin/env bash
# The shipped job script on a real Slurm: a single-node cluster of this
# machine runs an array of 4 slices of a count, through a requeue of one
# running task and the time limit of another, without anyone's help but the
# start of each requeued task at once (Slurm would wait about two minutes).
# The time limit's signal is sent as Slurm sends it for --signal=B:USR1@T
# (scancel --batch --signal=USR1): Slurm looks at its time limits only every
# 30 s, too seldom for a test.
# The merged slices must be the whole run's bytes and pass verify; a task
# whose search is refused must end FAILED. Skipped without root.
#   slurm_test.sh BIN_DIR JOB_SCRIPT
set -uo pipefail
bin="$1"
job_script="$2"
if [ "$(id -u)" -ne 0 ]; then
    echo "skipped: the test cluster's daemons run as root"
    exit 77
fi
for tool in munged slurmctld slurmd sbatch scontrol; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: $tool is missing (Debian packages slurmctld slurmd slurm-client munge)"
        exit 77
    fi
done
# shellcheck source=slurm_cluster.sh
source "$(dirname "$0")/slurm_cluster.sh"
export PATH="$bin:$PATH"
work="$(mktemp -d)"
cleanup() {
    slurm_cluster_stop "$work/cluster"
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAILED: $*" >&2
    tail -n 5 "$work"/log-*.txt >&2 2>/dev/null
    exit 1
}

# Whether every one of the COUNT tasks of array JOB has ended for good. A task
# that requeues itself passes through states that a plain squeue does not
# list, so an empty queue is not the end: each task must show a final state.
ended() {
    local states
    states=$(squeue -h -j "$1" -t all -o %T)
    [ "$(grep -cxE 'COMPLETED|FAILED|CANCELLED|TIMEOUT|NODE_FAIL|OUT_OF_MEMORY|BOOT_FAIL|DEADLINE' <<<"$states")" = "$2" ] &&
        [ "$(wc -l <<<"$states")" = "$2" ]
}

run=(--bound 1000 --count-only)
slurm_cluster_start "$work/cluster" || fail "the cluster did not start"
started=$SECONDS
job=$(sbatch --parsable --array=1-4 --cpus-per-task=1 -o "$work/log-%a.txt" \
    "$job_script" "$work/out" "${run[@]}") || fail "sbatch refused the job script"

# Requeue task 1 and give task 2 its time limit once each is searching,
# then keep starting requeued tasks at once until the array has ended.
searching() { [ -s "$work/out/slice-$1.out.part" ] && [ "$(squeue -h -j "${job}_$1" -o %T)" = RUNNING ]; }
requeued=0
limited=0
while [ $((SECONDS - started)) -lt 150 ]; do
    if [ "$requeued" = 0 ] && searching 1; then
        scontrol requeue "${job}_1" && requeued=1
    fi
    # Once: a scancel that outlasts its timeout on a busy machine may still
    # have signalled the task.
    if [ "$limited" = 0 ] && searching 2; then
        timeout 20 scancel --batch --signal=USR1 "${job}_2" 2>/dev/null
        signalled=$?
        [ "$signalled" = 0 ] || [ "$signalled" = 124 ] && limited=1
    fi
    pending=$(squeue -h -j "$job" -t PENDING -o '%i %r' | awk '$2 == "BeginTime" { print $1 }')
    for task in $pending; do scontrol update JobId="$task" StartTime=now 2>/dev/null; done
    ended "$job" 4 && break
    [ -n "${PANDICUBE_TRACE:-}" ] && echo "$((SECONDS - started)) s: $(squeue -h -j "$job" -t all -o '%i %T %r' | tr '\n' ' ')"
    sleep 0.5
done
ended "$job" 4 && echo "the array ended after $((SECONDS - started)) s" ||
    fail "the array has not ended after $((SECONDS - started)) s"
[ "$requeued" = 1 ] && [ "$limited" = 1 ] || fail "tasks 1 and 2 were not seen searching"

# One file per slice in OUTDIR, whole, through requeues and time limits.
[ "$(cd "$work/out" && echo *)" = "slice-1.out slice-2.out slice-3.out slice-4.out" ] ||
    fail "OUTDIR holds $(ls "$work/out")"
grep -q "CANCELLED .* DUE TO JOB REQUEUE" "$work/log-1.txt" || fail "task 1 shows no requeue"
grep -q "stopped before the time limit; requeued" "$work/log-2.txt" || fail "task 2 did not requeue itself"
grep -q "(run 2 of this task)" "$work/log-2.txt" || fail "task 2 did not run again"
pandicube-search merge --check "$work"/out/* || fail "merge --check"
pandicube-search merge --output "$work/merged.txt" "$work"/out/* || fail "merge"
pandicube-search "${run[@]}" --threads 2 --quiet >"$work/whole.txt"
cmp "$work/merged.txt" "$work/whole.txt" || fail "the merged slices differ from the whole run"
pandicube-search verify "$work/merged.txt" >/dev/null || fail "verify"

# A task that fails for another reason fails visibly.
failing=$(sbatch --parsable --array=1-2 -o "$work/fail-%a.txt" "$job_script" "$work/refused" --bound 0)
for _ in $(seq 1 60); do
    ended "$failing" 2 && break
    sleep 0.5
done
state=$(scontrol show job "${failing}_1" | sed -n 's/.*JobState=\([A-Z]*\).*/\1/p')
[ "$state" = FAILED ] || fail "a refused search ended $state, not FAILED"
grep -q "pandicube-search: --bound" "$work/fail-1.txt" || fail "the failed task's log does not say why"
echo "slurm test passed in $((SECONDS - started)) s"
