#!/bin/bash
# One slice of a pandicube-search run per task of a Slurm job array:
#   sbatch --array=1-N [sbatch options] pandicube-slices.sbatch OUTDIR [pandicube-search options]
# Task K searches slice K of N (N: the array's last index, or PANDICUBE_SLICES
# when only some indices are submitted again) with the pandicube-search on
# PATH, on SLURM_CPUS_PER_TASK threads, into OUTDIR/slice-K.out, and writes
# nothing else there. When every task has ended:
#   pandicube-search merge --check OUTDIR/slice-*.out
#   pandicube-search merge --output WHOLE OUTDIR/slice-*.out
#
# Safe to run again, so Slurm may requeue a task (preemption, a failed node,
# scontrol requeue) or a person submit the array again: a task goes on with
# its slice's .part where the last one stopped, searching no unit again, and
# ends at once when its slice is complete. Shortly before the time limit
# Slurm sends USR1 (below): the search stops cleanly and the task requeues
# itself, so the array finishes without a person. (A plain SIGTERM comes from
# scancel and preemption too, so it does not requeue: a cancelled task stays
# cancelled, and a preempted one is requeued by Slurm.) A task whose search
# fails for another reason (a refused option, a full disk) fails, and says
# why in its log.
#SBATCH --job-name=pandicube-slices
#SBATCH --requeue
#SBATCH --open-mode=append
#SBATCH --signal=B:USR1@120
set -u

if [ $# -lt 1 ] || [ -z "${SLURM_ARRAY_TASK_ID:-}" ]; then
    echo "usage: sbatch --array=1-N [sbatch options] $(basename "$0") OUTDIR [pandicube-search options]" >&2
    exit 2
fi
outdir="$1"
shift
k="$SLURM_ARRAY_TASK_ID"
n="${PANDICUBE_SLICES:-$SLURM_ARRAY_TASK_MAX}"
out="$outdir/slice-$k.out"
mkdir -p "$outdir" || exit 1
echo "slice $k of $n: $out (run $((${SLURM_RESTART_COUNT:-0} + 1)) of this task)"

pandicube-search "$@" --slice "$k/$n" --threads "${SLURM_CPUS_PER_TASK:-1}" --quiet \
    --output "$out" --continue &
search=$!
near_limit=0
trap 'near_limit=1; kill -TERM "$search" 2>/dev/null' USR1
trap 'kill -TERM "$search" 2>/dev/null' TERM INT HUP
# A trapped signal ends `wait` early: wait again until the search has ended.
while :; do
    wait "$search"
    status=$?
    kill -0 "$search" 2>/dev/null || break
done

if [ "$near_limit" = 1 ] && [ "$status" -gt 128 ]; then
    echo "slice $k of $n: stopped before the time limit; requeued to go on with $out.part"
    scontrol requeue "${SLURM_ARRAY_JOB_ID}_${SLURM_ARRAY_TASK_ID}" && exit 0
fi
exit "$status"
