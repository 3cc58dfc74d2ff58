#!/bin/sh
# Prints two whole-process figures of the real program on a virtual display, in network
# and IPC namespaces of its own (loopback only), against 40 simulated devices, each beside the
# same figure of a bare Qt Widgets main window (bench/barewindow.cpp), its floor, as Qt starts
# it by default and as the program starts Qt, without OpenGL (the like-for-like comparison:
# what the program itself adds):
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

# Xvfb picks a free display itself and names it once it is ready.
display=$(mktemp)
Xvfb -displayfd 3 -noreset -screen 0 1600x900x24 -dpi 96 -nolisten tcp 3>"$display" >/dev/null 2>&1 &
pids="$!"
until [ -s "$display" ]; do sleep 0.05; done
export DISPLAY=":$(cat "$display")" QT_QPA_PLATFORM=xcb
rm -f "$display"

"$sim" --count 40 --interface 127.0.0.1 >/dev/null 2>&1 &
pids="$! $pids"

now_ms() { echo $(($(date +%s%N) / 1000000)); }
memory() {
    rss=$(awk '/^VmRSS/ {print $2}' "/proc/$1/status")
    hwm=$(awk '/^VmHWM/ {print $2}' "/proc/$1/status")
    pss=$(awk '/^Pss:/ {print $2}' "/proc/$1/smaps_rollup" 2>/dev/null || echo "?")
    echo "VmRSS ${rss} kB, VmHWM ${hwm} kB, Pss ${pss} kB"
}

pss() { awk '/^Pss:/ {print $2}' "/proc/$1/smaps_rollup"; }
median() { echo "$@" | tr ' ' '\n' | sort -n | sed -n "$((($# + 1) / 2))p"; }
# startup PROGRAM TITLE: the median time to its mapped window over the runs; the last run's
# process stays, as $pid, with its Pss a second after start in $startPss.
startup() {
    times=
    i=0
    while [ $i -lt "$runs" ]; do
        i=$((i + 1))
        start=$(now_ms)
        "$1" >>"$build/bench-tool.log" 2>&1 &
        pid=$!
        until xdotool search --onlyvisible --name "$2" >/dev/null 2>&1; do
            kill -0 "$pid" 2>/dev/null || { echo "$1 ended early; see $build/bench-tool.log" >&2; exit 1; }
            sleep 0.01
        done
        times="$times $(($(now_ms) - start))"
        [ $i -lt "$runs" ] || break
        kill "$pid"
        wait "$pid" 2>/dev/null || true
    done
    sleep 1
    startPss=$(pss "$pid")
    startMedian=$(median $times)
    echo "$(basename "$1") start-up to a shown window (ms, $runs runs):$times; median $startMedian"
}

# One after the other, each the median of its runs.
startup "$build/bench/barewindow" '^Tarnvale bare'
bare=$startMedian bareP=$startPss
kill "$pid"; wait "$pid" 2>/dev/null || true
export QT_XCB_GL_INTEGRATION=none
startup "$build/bench/barewindow" '^Tarnvale bare'
unset QT_XCB_GL_INTEGRATION
bareRaster=$startMedian bareRasterP=$startPss
kill "$pid"; wait "$pid" 2>/dev/null || true
startup "$tool" '^Tarnvale'
# compare FLOOR MEDIAN_MS PSS_KB: the program's figures against one floor
compare() {
    echo "  against $1: start-up $(awk -v a="$startMedian" -v b="$2" 'BEGIN { printf "%.2f", a / b }') x;" \
         "Pss $(awk -v a="$startPss" -v b="$3" 'BEGIN { printf "%+.1f", (a - b) / 1024 }') MB (its Pss: $3 kB)"
}
echo "Pss after start-up: $startPss kB"
compare "the bare window" "$bare" "$bareP"
compare "the bare window without OpenGL (like for like)" "$bareRaster" "$bareRasterP"
pids="$pid $pids"
sleep 1
echo "memory after start-up:      $(memory "$pid")"
window=$(xdotool search --onlyvisible --name '^Tarnvale' | head -n 1)
xdotool mousemove --window "$window" $((1 + 9 + 880 + 35)) $((1 + 9 + 3 + 15)) click 1
sleep 8
echo "memory after a 40-device search: $(memory "$pid")"
