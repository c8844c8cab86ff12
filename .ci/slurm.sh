#!/usr/bin/env bash
# A single-node Slurm cluster on this machine: runs a small study through
# `ilscalc study submit`, gathers it and compares the results byte for byte
# with the local engine's. The daemons are stopped by their pid files
# whatever happens. Usage: .ci/slurm.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=$(cd "${1:-build}" && pwd)
ilscalc="$build/ilscalc"

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
need=()
command -v slurmctld >/dev/null || need+=(slurm-wlm)
command -v munged >/dev/null || need+=(munge)
if [ ${#need[@]} -gt 0 ]; then
  echo "== installing: ${need[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update
  "${sudo[@]}" apt-get install -y --no-install-recommends "${need[@]}"
fi

work=$(mktemp -d /tmp/ilscalc-slurm.XXXXXX)
chmod 755 "$work"
stop_daemons() {
  for pidfile in "$work/slurmd.pid" "$work/slurmctld.pid" "$work/munge/munged.pid"; do
    if [ -s "$pidfile" ]; then
      pid=$(cat "$pidfile")
      "${sudo[@]}" kill "$pid" 2>/dev/null || true
      for _ in $(seq 50); do "${sudo[@]}" kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
      "${sudo[@]}" kill -9 "$pid" 2>/dev/null || true
    fi
  done
}
show_logs() {
  for log in "$work"/slurmctld.log "$work"/slurmd.log "$work"/munge/munged.log; do
    [ -f "$log" ] && { echo "---- $log"; tail -n 20 "$log"; }
  done
}
trap 'rc=$?; [ $rc -eq 0 ] || show_logs; stop_daemons; [ $rc -ne 0 ] || rm -rf "$work"; exit $rc' EXIT

# ---- munge: its own socket and key, run as the munge user ----------------------
"${sudo[@]}" mkdir -p /run/munge "$work/munge" "$work/socket"
"${sudo[@]}" chown munge:munge /run/munge "$work/munge" "$work/socket"
"${sudo[@]}" chmod 755 "$work/socket"
"${sudo[@]}" chmod 700 "$work/munge"
"${sudo[@]}" -u munge dd if=/dev/urandom of="$work/munge/munge.key" bs=1024 count=1 status=none 2>/dev/null ||
  "${sudo[@]}" runuser -u munge -- dd if=/dev/urandom of="$work/munge/munge.key" bs=1024 count=1 status=none
"${sudo[@]}" chmod 400 "$work/munge/munge.key"
socket="$work/socket/munge.socket"
"${sudo[@]}" runuser -u munge -- munged --socket="$socket" --key-file="$work/munge/munge.key" \
  --pid-file="$work/munge/munged.pid" --log-file="$work/munge/munged.log" --seed-file="$work/munge/munged.seed"

# ---- slurm ---------------------------------------------------------------------
node=$(hostname -s)
mkdir -p "$work/state" "$work/spool"
cat > "$work/slurm.conf" <<CONF
ClusterName=ilscalcci
SlurmctldHost=$node(127.0.0.1)
SlurmctldPort=16817
SlurmdPort=16818
SlurmUser=root
AuthType=auth/munge
AuthInfo=socket=$socket
CredType=cred/munge
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
MpiDefault=none
ReturnToService=2
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldLogFile=$work/slurmctld.log
SlurmdLogFile=$work/slurmd.log
JobCompType=jobcomp/none
AccountingStorageType=accounting_storage/none
NodeName=$node NodeAddr=127.0.0.1 CPUs=$(nproc) State=UNKNOWN
PartitionName=ci Nodes=ALL Default=YES MaxTime=INFINITE State=UP
CONF
export SLURM_CONF="$work/slurm.conf"
"${sudo[@]}" env SLURM_CONF="$SLURM_CONF" slurmctld -f "$SLURM_CONF"
"${sudo[@]}" env SLURM_CONF="$SLURM_CONF" slurmd -f "$SLURM_CONF"
for i in $(seq 60); do
  if scontrol ping 2>/dev/null | grep -q UP && sinfo -h -o %T 2>/dev/null | grep -q idle; then break; fi
  [ "$i" -eq 60 ] && { echo "the cluster did not come up"; exit 1; }
  sleep 1
done
echo "== cluster up: $(sinfo -h -o '%P %D %T %c')"

# ---- the same small study through Slurm and through the local engine ----------
study() {
  cat <<TOML
[base]
project = "$root/examples/localizer-two-frequency"
run = "LOC2F"
[object]
type = "aircraft"
aircraft = "B737-800"
[grid]
x = { from = 200.0, to = 400.0, step = 200.0 }
y = [30.0, 60.0]
headings = [0.0, 90.0]
[check]
category = "III"
threshold = [3300.0, 0.0]
stop_end = [300.0, 0.0]
[check.allowed]
default = { fraction = 0.5 }
TOML
}
mkdir -p "$work/slurm" "$work/local"
study > "$work/slurm/ci.toml"
study > "$work/local/ci.toml"
"$ilscalc" study submit "$work/slurm/ci.toml" --tasks-per-job 2 --partition ci
for i in $(seq 240); do
  [ -z "$(squeue -h 2>/dev/null)" ] && break
  [ "$i" -eq 240 ] && { echo "the jobs did not finish"; squeue; exit 1; }
  sleep 1
done
"$ilscalc" study status "$work/slurm/ci.toml"
"$ilscalc" study gather "$work/slurm/ci.toml"
"$ilscalc" study run "$work/local/ci.toml" --jobs 2
cmp "$work/slurm/ci/results.csv" "$work/local/ci/results.csv"
echo "== Slurm and local results are identical ($(($(wc -l < "$work/local/ci/results.csv") - 1)) tasks)"
