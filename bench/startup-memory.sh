#!/bin/sh
# Prints two whole-process figures of the real program on a virtual display, in network
# and IPC namespaces of its own (loopback only), against 40 simulated devices:
#   - start-up time: from the program's start until its window is mapped (median of runs)
#   - memory: VmRSS, VmHWM and Pss of the process right after start and after a search
#     that lists 40 devices
#
#   bench/startup-memory.sh [BUILD_DIR] [RUNS]      (default: build, 5)
set -e
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
case $build in /*) ;; *) build=$top/$build ;; esac
runs=${2:-5}

if [ "$3" != "--in-namespace" ]; then
    map=
    [ "$(id -u)" -eq 0 ] || map=--map-root-user
    exec unshare --net --ipc $map sh -c 'ip link set lo up && exec "$0" "$1" "$2" --in-namespace' "$0" "$build" "$runs"
fi

tool=$build/app/tarnvale-manager
sim=$build/tools/devicesim/devicesim
pids=
cleanup() {
    for pid in $pids; do kill "$pid" 2>/dev/null || true; done
    for pid in $pids; do wait "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

n=90
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1600x900x24 -dpi 96 -nolisten tcp >/dev/null 2>&1 &
pids="$!"
export DISPLAY=":$n" QT_QPA_PLATFORM=xcb
until xdpyinfo >/dev/null 2>&1; do sleep 0.1; done

"$sim" --count 40 --interface 127.0.0.1 >/dev/null 2>&1 &
pids="$! $pids"

now_ms() { echo $(($(date +%s%N) / 1000000)); }
memory() {
    rss=$(awk '/^VmRSS/ {print $2}' "/proc/$1/status")
    hwm=$(awk '/^VmHWM/ {print $2}' "/proc/$1/status")
    pss=$(awk '/^Pss:/ {print $2}' "/proc/$1/smaps_rollup" 2>/dev/null || echo "?")
    echo "VmRSS ${rss} kB, VmHWM ${hwm} kB, Pss ${pss} kB"
}

times=
i=0
while [ $i -lt "$runs" ]; do
    i=$((i + 1))
    start=$(now_ms)
    "$tool" >>"$build/bench-tool.log" 2>&1 &
    pid=$!
    until xdotool search --onlyvisible --name '^Tarnvale' >/dev/null 2>&1; do
        kill -0 "$pid" 2>/dev/null || { echo "the tool ended early; see $build/bench-tool.log" >&2; exit 1; }
        sleep 0.01
    done
    times="$times $(($(now_ms) - start))"
    if [ $i -lt "$runs" ]; then
        kill "$pid"
        wait "$pid" 2>/dev/null || true
    fi
done
echo "start-up to a shown window (ms, $runs runs):$times; median $(echo $times | tr ' ' '\n' | sort -n | sed -n "$(((runs + 1) / 2))p")"

pids="$pid $pids"
sleep 1
echo "memory after start-up:      $(memory "$pid")"
window=$(xdotool search --onlyvisible --name '^Tarnvale' | head -n 1)
xdotool mousemove --window "$window" $((1 + 9 + 880 + 35)) $((1 + 9 + 3 + 15)) click 1
sleep 8
echo "memory after a 40-device search: $(memory "$pid")"
