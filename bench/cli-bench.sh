#!/bin/sh
# Command-line benchmark: "tarnvale-cli list" against 2,000 simulated devices (all listed?
# run time against the first reply plus the 5000 ms gathering), "apply" of a 100-device
# plan with half the devices not yet activated (time, successes, and a second run that
# has nothing to do), and a plan with bad rows. Prints figures; asserts nothing.
# Runs in network and IPC namespaces of its own, so nothing leaves the machine.
#
# Usage: bench/cli-bench.sh [BUILD_DIR]   (default: build)
set -e
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)

if [ -z "$ORV_BENCH_NETNS" ]; then
    map=
    [ "$(id -u)" -eq 0 ] || map=--map-root-user
    exec env ORV_BENCH_NETNS=1 unshare --net --ipc $map \
        sh -c 'ip link set lo up && exec "$0" "$@"' "$0" "$build"
fi

sim=$build/tools/devicesim/devicesim
cli=$build/cli/tarnvale-cli
for program in "$sim" "$cli"; do
    [ -x "$program" ] || { echo "missing $program: build the targets devicesim and tarnvale-cli" >&2; exit 1; }
done
work=$(mktemp -d)
simpid=
trap '[ -n "$simpid" ] && kill -TERM $simpid 2>/dev/null; rm -rf "$work"' EXIT

start_sim() {
    rm -f "$work/sim.out" # else the previous run's line could be read before this one starts
    "$sim" "$@" --max-seconds 600 >"$work/sim.out" 2>"$work/sim.err" &
    simpid=$!
    tries=0
    until grep -q listening "$work/sim.out" 2>/dev/null; do
        tries=$((tries + 1))
        if [ $tries -gt 100 ] || ! kill -0 $simpid 2>/dev/null; then
            echo "devicesim did not start:" >&2
            cat "$work/sim.err" >&2
            exit 1
        fi
        sleep 0.05
    done
}

stop_sim() {
    kill -TERM $simpid
    wait $simpid || true
    simpid=
}

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# Runs the program with the given arguments, stdout and stderr into $work/out and $work/err;
# sets status and ms (wall time).
run_cli() {
    t0=$(now_ms)
    status=0
    "$cli" "$@" >"$work/out" 2>"$work/err" || status=$?
    ms=$(($(now_ms) - t0))
}

echo "== list: 2000 simulated devices on lo =="
start_sim --count 2000
printf '%4s  %6s  %8s  %14s  %12s  %14s\n' run listed "wall ms" "first reply ms" "gathering ms" "rest ms (<100)"
for i in 1 2 3; do
    run_cli list --interface lo --format csv --verbose
    listed=$(($(grep -c '' "$work/out") - 1))
    first=$(sed -n 's/.*first reply after \([0-9]*\) ms.*/\1/p' "$work/err")
    printf '%4s  %6s  %8s  %14s  %12s  %14s\n' "$i" "$listed" "$ms" "$first" 5000 $((ms - first - 5000))
done
stop_sim

echo
echo "== apply: 100 devices, 50 not yet activated =="
awk 'BEGIN {
    printf "{\"devices\": ["
    for (i = 1; i <= 100; ++i) {
        printf "%s{\"ip\": \"192.168.7.%d\", \"sn\": \"SNB%05d\", \"mac\": \"02:00:00:00:07:%02X\", \"V\": \"6.0.231024\"%s}",
            (i > 1 ? ", " : ""), i, i, i, (i % 2 ? ", \"password\": \"admin123\"" : "")
    }
    print "]}"
}' >"$work/fleet.json"
awk 'BEGIN { print "sn,new_ip"; for (i = 1; i <= 100; ++i) printf "SNB%05d,10.20.0.%d\n", i, i }' >"$work/plan.csv"
start_sim --fleet "$work/fleet.json"
export TARNVALE_PASSWORD=admin123
run_cli apply "$work/plan.csv" --interface lo
echo "first run:  exit status $status, $ms ms (target: under 60000), $(grep -c ' done ' "$work/out") done," \
     "$(grep -cE 'activate\+netcfg +done' "$work/out") of them activated first"
tail -n 1 "$work/out"
sleep 3.5 # the last devices restart for 3000 ms after their new address
run_cli apply "$work/plan.csv" --interface lo
echo "second run: exit status $status, $ms ms, $(grep -c ' skipped ' "$work/out") skipped"
tail -n 1 "$work/out"
stop_sim

echo
echo "== apply: a plan with bad rows =="
start_sim --count 8
printf '%s\n' 'sn,new_ip,password' 'SN00000001,10.30.0.1' 'SN09999999,10.30.0.9' 'SN00000002,10.30.0.300' \
    'SN00000003,10.30.0.3,wrongpass' 'SN00000004,10.30.0.4' 'SN00000005,10.30.0.5' >"$work/bad.csv"
run_cli apply "$work/bad.csv" --interface lo
echo "exit status $status, $ms ms"
cat "$work/out"
stop_sim
