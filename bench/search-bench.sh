#!/bin/sh
# Search benchmark: for 100, 500, 1000, 2000, 5000 and 10000 simulated devices, starts
# devicesim on the loopback interface and runs one search through the device link, then
# prints a table of devices answering, devices listed, the wall time of the search call
# and peak memory.
# Runs in network and IPC namespaces of its own, so nothing leaves the machine.
#
# Usage: bench/search-bench.sh [BUILD_DIR] [SIZES...]   (default: build, 100 500 1000 2000 5000 10000)
set -e
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
[ $# -gt 0 ] && shift
sizes=${*:-100 500 1000 2000 5000 10000}

if [ -z "$ORV_BENCH_NETNS" ]; then
    map=
    [ "$(id -u)" -eq 0 ] || map=--map-root-user
    exec env ORV_BENCH_NETNS=1 unshare --net --ipc $map \
        sh -c 'ip link set lo up && exec "$0" "$@"' "$0" "$build" $sizes
fi

sim=$build/tools/devicesim/devicesim
bench=$build/bench/searchbench
for program in "$sim" "$bench"; do
    [ -x "$program" ] || { echo "missing $program: build the targets devicesim and searchbench" >&2; exit 1; }
done
export QT_QPA_PLATFORM=offscreen
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

printf '%8s  %9s  %6s  %12s  %14s  %14s\n' devices answering listed "search ms" "peak RSS KB" "RSS before KB"
for n in $sizes; do
    "$sim" --count "$n" --max-seconds 120 >"$work/sim.out" 2>"$work/sim.err" &
    pid=$!
    tries=0
    until grep -q listening "$work/sim.out" 2>/dev/null; do
        tries=$((tries + 1))
        if [ $tries -gt 100 ] || ! kill -0 $pid 2>/dev/null; then
            echo "devicesim did not start:" >&2
            cat "$work/sim.err" >&2
            exit 1
        fi
        sleep 0.05
    done
    result=$("$bench" lo 2>"$work/bench.err") || { echo "searchbench failed ($n devices):" >&2; cat "$work/bench.err" >&2; }
    kill -TERM $pid
    wait $pid || true
    answering=$(sed -n 's/^devicesim: stopped; .* \([0-9]*\) search replies$/\1/p' "$work/sim.out")
    field() { echo "$result" | tr ' ' '\n' | sed -n "s/^$1=//p"; }
    printf '%8s  %9s  %6s  %12s  %14s  %14s\n' "$n" "$answering" "$(field listed)" "$(field wall_ms)" \
        "$(field peak_rss_kb)" "$(field rss_before_kb)"
done
