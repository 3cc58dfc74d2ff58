#!/bin/sh
# Command-line benchmark, three runs each: "tarnvale-cli list" and "plan" against 2,000
# simulated devices (all listed? run time against the first reply plus the 5000 ms
# gathering), "apply" of a 100-device plan with half the devices not yet activated, with
# --no-verify (target: first reply + 5000 ms + 3 s) and with verification (target: that plus
# the simulator's restart time plus one search), and a second run that has nothing to do;
# then "apply" of 1,000 devices without and with --report, five runs (target: at most 1.05
# times as long with it; the median is printed), the report in REPORT_DIR (default: a
# scratch folder under /tmp).
# Prints figures; asserts nothing.
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
. "$top/bench/simulator.sh"
trap '[ -z "$sim_pid" ] || kill -TERM $sim_pid 2>/dev/null; rm -rf "$work"' EXIT

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# Runs the program with the given arguments, stdout and stderr into $work/out and $work/err;
# sets status and ms (wall time).
run_cli() {
    t0=$(now_ms)
    status=0
    "$cli" "$@" >"$work/out" 2>"$work/err" || status=$?
    ms=$(($(now_ms) - t0))
}

# The first reply of the command's search, from its --verbose lines in $work/err.
first_reply() { sed -n 's/.*first reply after \([0-9]*\) ms.*/\1/p' "$work/err" | head -n 1; }

echo "== list: 2000 simulated devices on lo =="
start_sim --count 2000
printf '%4s  %6s  %8s  %14s  %14s\n' run listed "wall ms" "first reply ms" "rest ms (<100)"
for i in 1 2 3; do
    run_cli list --interface lo --format csv --verbose
    listed=$(($(grep -c '' "$work/out") - 1))
    first=$(first_reply)
    printf '%4s  %6s  %8s  %14s  %14s\n' "$i" "$listed" "$ms" "$first" $((ms - first - 5000))
done

echo
echo "== plan: 2000 simulated devices on lo, addresses from 10.40.0.2 on =="
printf '%4s  %6s  %8s  %14s  %14s\n' run rows "wall ms" "first reply ms" "rest ms (<100)"
for i in 1 2 3; do
    run_cli plan --interface lo --from 10.40.0.2 --to 10.40.255.254 --verbose
    rows=$(($(grep -c '' "$work/out") - 1))
    first=$(first_reply)
    printf '%4s  %6s  %8s  %14s  %14s\n' "$i" "$rows" "$ms" "$first" $((ms - first - 5000))
done
stop_sim

echo
echo "== apply: 100 devices, 50 not yet activated (simulator restart: 3000 ms) =="
awk 'BEGIN {
    printf "{\"devices\": ["
    for (i = 1; i <= 100; ++i) {
        printf "%s{\"ip\": \"192.168.7.%d\", \"sn\": \"SNB%05d\", \"mac\": \"02:00:00:00:07:%02X\", \"V\": \"6.0.231024\"%s}",
            (i > 1 ? ", " : ""), i, i, i, (i % 2 ? ", \"password\": \"admin123\"" : "")
    }
    print "]}"
}' >"$work/fleet.json"
awk 'BEGIN { print "sn,new_ip"; for (i = 1; i <= 100; ++i) printf "SNB%05d,10.20.0.%d\n", i, i }' >"$work/plan.csv"
export TARNVALE_PASSWORD=admin123
restart=3000
printf '%-9s %4s  %6s  %8s  %14s  %9s  %6s  %9s  %s\n' mode run status "wall ms" "first reply ms" "target ms" done verified rounds
for mode in no-verify verify; do
    for i in 1 2 3; do
        start_sim --fleet "$work/fleet.json" --restart-ms $restart
        if [ $mode = no-verify ]; then
            run_cli apply "$work/plan.csv" --interface lo --no-verify --verbose
            first=$(first_reply)
            target=$((first + 5000 + 3000))
        else
            run_cli apply "$work/plan.csv" --interface lo --verbose
            first=$(first_reply)
            target=$((first + 5000 + 3000 + restart + first + 5000))
        fi
        printf '%-9s %4s  %6s  %8s  %14s  %9s  %6s  %9s  %s\n' $mode "$i" "$status" "$ms" "$first" "$target" \
            "$(grep -c ' done ' "$work/out")" "$(grep -c ' verified ' "$work/out")" \
            "$(grep -c '^verification round' "$work/err")"
        [ $i -lt 3 ] || [ $mode = verify ] || tail -n 1 "$work/out"
        [ $i -lt 3 ] || [ $mode = no-verify ] || { tail -n 1 "$work/out"; sleep 0.5;
            run_cli apply "$work/plan.csv" --interface lo; echo "second run: exit status $status, $ms ms, $(grep -c ' skipped ' "$work/out") skipped"; }
        stop_sim
    done
done

echo
echo "== apply: 1000 devices without and with --report (--no-verify) =="
awk 'BEGIN {
    printf "{\"devices\": ["
    for (i = 0; i < 1000; ++i)
        printf "%s{\"ip\": \"192.168.%d.%d\", \"sn\": \"SNR%05d\", \"password\": \"admin123\"}", (i ? ", " : ""), 20 + int(i / 250), 2 + i % 250, i
    print "]}"
}' >"$work/fleet1000.json"
awk 'BEGIN { print "sn,new_ip"; for (i = 0; i < 1000; ++i) printf "SNR%05d,10.30.%d.%d\n", i, int(i / 250), 2 + i % 250 }' >"$work/plan1000.csv"
reports=${REPORT_DIR:-$work}
echo "reports in $reports ($(stat -f -c %T "$reports"))"
printf '%4s  %16s  %16s  %8s  %s\n' run "without ms" "with ms" ratio "report bytes"
ratios=
for i in 1 2 3 4 5; do
    start_sim --fleet "$work/fleet1000.json" --restart-ms 0
    run_cli apply "$work/plan1000.csv" --interface lo --no-verify
    without=$ms
    stop_sim
    rm -f "$reports/bench-report-$i.csv"
    start_sim --fleet "$work/fleet1000.json" --restart-ms 0
    run_cli apply "$work/plan1000.csv" --interface lo --no-verify --report "$reports/bench-report-$i.csv"
    with=$ms
    [ "$status" -eq 0 ] || echo "apply with --report: exit status $status: $(tail -n 1 "$work/err")"
    stop_sim
    ratio=$(awk -v a="$with" -v b="$without" 'BEGIN { printf "%.3f", a / b }')
    ratios="$ratios $ratio"
    printf '%4s  %16s  %16s  %8s  %s\n' "$i" "$without" "$with" "$ratio" "$(stat -c %s "$reports/bench-report-$i.csv")"
    rm -f "$reports/bench-report-$i.csv"
done
echo "median ratio: $(echo $ratios | tr ' ' '\n' | sort -n | sed -n 3p)"
