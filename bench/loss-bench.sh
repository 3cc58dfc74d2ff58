#!/bin/sh
# Lost-reply benchmark: 20,000 simulated devices answer one search at once (devicesim
# --count 20000 on the loopback interface); three searches through the link core as the
# command line makes them. For each: devices listed, datagrams the kernel dropped, receive
# buffer granted, and whether every reply is accounted for: either all are listed, or the
# loss is reported (listed + dropped = devices). Prints figures; asserts nothing.
# Runs inside tests/netns-run, so nothing leaves the machine.
#
# Usage: bench/loss-bench.sh [BUILD_DIR] [DEVICES]   (default: build 20000)
set -e
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
devices=${2:-20000}

if [ -z "$ORV_BENCH_NETNS" ]; then
    exec env ORV_BENCH_NETNS=1 "$top/tests/netns-run" "$0" "$build" "$devices"
fi

sim=$build/tools/devicesim/devicesim
bench=$build/bench/lossbench
for program in "$sim" "$bench"; do
    [ -x "$program" ] || { echo "missing $program: build the targets devicesim and lossbench" >&2; exit 1; }
done
work=$(mktemp -d)
. "$top/bench/simulator.sh"
trap '[ -z "$sim_pid" ] || kill -TERM $sim_pid 2>/dev/null; rm -rf "$work"' EXIT

echo "net.core.rmem_max = $(cat /proc/sys/net/core/rmem_max), devices = $devices"
printf '%4s  %8s  %8s  %12s  %12s  %8s  %s\n' run devices listed dropped "granted B" "wall ms" verdict
start_sim --count "$devices"
for run in 1 2 3; do
    result=$("$bench" lo 2>"$work/bench.err") || { echo "lossbench failed:" >&2; cat "$work/bench.err" >&2; exit 1; }
    field() { echo "$result" | tr ' ' '\n' | sed -n "s/^$1=//p"; }
    listed=$(field listed)
    dropped=$(field dropped)
    if [ "$listed" -eq "$devices" ]; then
        verdict="all listed"
    elif [ "$dropped" -gt 0 ] && [ $((listed + dropped)) -eq "$devices" ]; then
        verdict="loss reported"
    else
        verdict="LOSS NOT ACCOUNTED FOR ($((devices - listed - dropped)) missing)"
    fi
    printf '%4s  %8s  %8s  %12s  %12s  %8s  %s\n' "$run" "$devices" "$listed" "$dropped" "$(field granted)" \
        "$(field wall_ms)" "$verdict"
done
stop_sim
grep stopped "$work/sim.out"
grep -h 'receive buffer:' "$work/bench.err" | head -n 1
