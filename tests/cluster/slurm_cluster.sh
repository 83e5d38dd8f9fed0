# Sourced by the cluster tests: a single-node Slurm cluster of this machine,
# started as plain processes under a folder of its own (no systemd, no
# cgroups, its own munge key and socket, its own ports), and stopped again
# with every process it started. Needs root and the Debian packages
# slurmctld, slurmd, slurm-client and munge.
#   slurm_cluster_start DIR   then SLURM_CONF names its configuration
#   slurm_cluster_stop DIR
# shellcheck shell=bash

# Whether process PID has ended: PID 1 here may reap it late, so a zombie
# counts as ended.
slurm_cluster_gone() {
    local state
    state=$(awk '{ print $3 }' "/proc/$1/stat" 2>/dev/null) || return 0
    [ -z "$state" ] || [ "$state" = Z ] || [ "$state" = X ]
}

# A free TCP port on the loopback, from the kernel.
slurm_cluster_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

slurm_cluster_start() {
    local dir="$1" host
    host=$(hostname -s)
    mkdir -p "$dir"/{munge,spool/ctld,spool/d,log}
    chmod 755 "$dir" "$dir/munge"
    dd if=/dev/urandom of="$dir/munge/munge.key" bs=1024 count=1 status=none
    chmod 400 "$dir/munge/munge.key"
    munged --force --socket="$dir/munge/socket" --key-file="$dir/munge/munge.key" \
        --pid-file="$dir/munge/munged.pid" --log-file="$dir/log/munged.log" --seed-file="$dir/munge/seed"
    cat >"$dir/slurm.conf" <<CONF
ClusterName=pandicube-test
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$(slurm_cluster_port)
SlurmdPort=$(slurm_cluster_port)
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$dir/munge/socket
CredType=cred/munge
StateSaveLocation=$dir/spool/ctld
SlurmdSpoolDir=$dir/spool/d
SlurmctldPidFile=$dir/slurmctld.pid
SlurmdPidFile=$dir/slurmd.pid
SlurmctldLogFile=$dir/log/slurmctld.log
SlurmdLogFile=$dir/log/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
JobAcctGatherType=jobacct_gather/none
MpiDefault=none
MailProg=/bin/true
ReturnToService=2
SchedulerParameters=sched_interval=2,bf_interval=1
KillWait=10
NodeName=$host NodeAddr=127.0.0.1 CPUs=2 State=UNKNOWN
PartitionName=test Nodes=$host Default=YES MaxTime=INFINITE State=UP
CONF
    export SLURM_CONF="$dir/slurm.conf"
    slurmctld -f "$SLURM_CONF"
    slurmd -f "$SLURM_CONF" -N "$host"
    local i
    for i in $(seq 1 100); do
        if scontrol ping 2>/dev/null | grep -q UP && sinfo -h -o %t 2>/dev/null | grep -q idle; then
            return 0
        fi
        sleep 0.2
    done
    echo "the test cluster did not come up; its logs:" >&2
    tail -n 20 "$dir"/log/*.log >&2
    return 1
}

slurm_cluster_stop() {
    local dir="$1" pid pids=()
    for pid in $(cat "$dir"/slurmd.pid "$dir"/slurmctld.pid "$dir"/munge/munged.pid 2>/dev/null); do
        pids+=("$pid")
    done
    # The step daemons and the jobs they ran stay when slurmd goes: stop them
    # by their ids too.
    for pid in $(pgrep -f "slurmstepd|$dir" 2>/dev/null); do
        [ "$pid" != $$ ] && pids+=("$pid")
    done
    [ ${#pids[@]} -eq 0 ] && return 0
    kill -TERM "${pids[@]}" 2>/dev/null || true
    local i left
    for i in $(seq 1 50); do
        left=0
        for pid in "${pids[@]}"; do slurm_cluster_gone "$pid" || left=1; done
        [ "$left" = 0 ] && return 0
        sleep 0.1
    done
    kill -KILL "${pids[@]}" 2>/dev/null || true
}
