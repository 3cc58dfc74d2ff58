#!/bin/sh
# Flood probe: what a hostile or noisy network does to a search and a login, on loopback.
# Every scenario runs in fresh network and IPC namespaces of its own (only lo, nothing
# leaves the machine) against devicesim, with a real main window (floodprobe, offscreen)
# or the real program; the result is one table: scenario, figures, target.
#
# Usage: bench/flood-probe.sh [BUILD_DIR] [SCENARIO...]      (default: build, all)
#   junk        30 s of 16-byte junk, as fast as possible, during a search (5 devices)
#   big         5 s of 64 KB junk during a search (5 devices)
#   forged64k   3,000 distinct valid 64 KB replies, 1,000 a second (5 devices)
#   forged40k   40,000 forged valid replies, 10,000 a second (5 devices)
#   genuine200  200 devices during 16-byte junk at 5,000 a second
#   login       a login amid non-matching replies, as fast as possible; no device answers
#   login-match the same, and the device's own reply comes 500 ms into the stream
#   port-held   another program holds UDP port 10088; search 7 devices, then log in
#   net-down    lo down: the search cannot be sent
#   no-card     a search on a card that does not exist
#   starts      20 simultaneous starts of the program: how many keep running
#   genuine5000, genuine10000   plain searches of that many devices
# Search times run from the press of Search; the devices on loopback answer within a few
# milliseconds of it, so a search that gathers for 5000 ms after the first reply shows
# about 5000 ms. Needs the targets devicesim, floodprobe and tarnvale-manager (and the
# program's log goes to a file, as it costs the program time). Every scenario is bounded
# in time; all of them take 3 to 6 minutes (a search that does not return in time is
# killed and reported). The same probe runs against old and new link code.
set -e
top=$(cd "$(dirname "$0")/.." && pwd)

if [ -z "$ORV_PROBE_SCENARIO" ]; then
    build=$(cd "${1:-$top/build}" && pwd)
    [ $# -gt 0 ] && shift
    scenarios=${*:-junk big forged64k forged40k genuine200 login login-match port-held net-down no-card starts genuine5000 genuine10000}
    for program in tools/devicesim/devicesim bench/floodprobe app/tarnvale-manager; do
        [ -x "$build/$program" ] || { echo "missing $build/$program: build it first" >&2; exit 1; }
    done
    map=
    [ "$(id -u)" -eq 0 ] || map=--map-root-user
    echo "| scenario | figures | target |"
    echo "|---|---|---|"
    for scenario in $scenarios; do
        lo=up
        [ "$scenario" = net-down ] && lo=down
        ORV_PROBE_SCENARIO=$scenario ORV_PROBE_LO=$lo unshare --net --ipc $map \
            sh -c '[ "$ORV_PROBE_LO" = down ] || ip link set lo up; exec "$0" "$@"' "$0" "$build" ||
            echo "| $scenario | probe failed | |"
    done
    exit 0
fi

# From here on: one scenario, inside its namespaces.
build=$1
sim=$build/tools/devicesim/devicesim
work=$(mktemp -d)
sim_pid=
other_pids=
cleanup() {
    for pid in $sim_pid $other_pids; do kill "$pid" 2>/dev/null || true; done
    for pid in $sim_pid $other_pids; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/xdg"
mkdir -m 700 "$XDG_RUNTIME_DIR"
cd "$work"

start_sim() {
    "$sim" --max-seconds 600 "$@" >"$work/sim.out" 2>"$work/sim.err" &
    sim_pid=$!
    tries=0
    until grep -q listening "$work/sim.out" 2>/dev/null; do
        tries=$((tries + 1))
        if [ $tries -gt 100 ] || ! kill -0 $sim_pid 2>/dev/null; then
            echo "| $ORV_PROBE_SCENARIO | devicesim did not start: $(cat "$work/sim.err") | |"
            exit 0
        fi
        sleep 0.05
    done
}

stop_sim() {
    kill -TERM $sim_pid
    wait $sim_pid || true
    sim_pid=
    sent=$(sed -n 's/^devicesim: flood [a-z]*: \([0-9]*\) datagrams sent$/\1/p' "$work/sim.out")
}

# probe LIMIT_S [floodprobe options]: the probe's figures go to probe.out.
probe() {
    limit=$1
    shift
    timeout -s KILL $((limit + 30)) "$build/bench/floodprobe" --limit "$limit" "$@" \
        >"$work/probe.out" 2>"$work/probe.err" || true
}

get() { sed -n "s/^$1=//p" "$work/probe.out" | tail -n 1; }
mb() { [ -n "$1" ] && [ -n "$2" ] && echo "$1 $2" | awk '{ printf "%+.0f MB", ($1 - $2) / 1024 }'; }
boxes() {
    n=$(get "$1")
    [ "${n:-0}" -gt 0 ] || { echo "no box"; return; }
    echo "$n box(es): $(sed -n "/^$1=/,\$p" "$work/probe.out" | sed -n 's/^box=//p' | head -n "$n" |
        sed 's/$/"/; s/: /: "/' | paste -sd ';' | sed 's/;/; /g')"
}
search_figure() {
    if [ -n "$(get did_not_return_s)" ] && [ -z "$(get search_ms)" ]; then
        echo "search did not return within $(get did_not_return_s) s (killed)"
    else
        echo "search $(get search_ms) ms"
    fi
}
memory_figure() {
    idle=$(get idle_rss_kb)
    echo "peak $(mb "$(get peak_rss_kb)" "$idle") over idle ($((${idle:-0} / 1024)) MB)"
}
row() { echo "| $1 | $2 | $3 |"; }

flood_search() { # TITLE DEVICES LIMIT_S TARGET [devicesim flood options]
    title=$1 devices=$2 limit=$3 target=$4
    shift 4
    start_sim --count "$devices" --flood-on search "$@"
    probe "$limit"
    stop_sim
    row "$title" "$(search_figure); $(get listed)/$devices listed; $(memory_figure); $sent sent, $(get log_lines) log lines" "$target"
}

case $ORV_PROBE_SCENARIO in
junk)
    flood_search "30 s of 16-byte junk during a search (5 devices)" 5 90 \
        "≤ 5300 ms, 5 listed, ≤ +64 MB" --flood junk --flood-seconds 30
    ;;
big)
    flood_search "5 s of 64 KB junk during a search (5 devices)" 5 60 \
        "≤ 5300 ms, 5 listed, ≤ +64 MB" --flood oversized --flood-seconds 5
    ;;
forged64k)
    start_sim --count 5 --flood-on search --flood forged --flood-size 65507 --flood-count 3000 --flood-rate 1000
    probe 90
    stop_sim
    row "3,000 distinct 64 KB valid replies, 1,000/s (5 devices)" \
        "$(search_figure); $(get listed) listed; $(memory_figure); after the search $(mb "$(get rss_after_kb)" "$(get idle_rss_kb)"); $sent sent" \
        "≤ 5300 ms, ≤ +64 MB"
    ;;
forged40k)
    start_sim --count 5 --flood-on search --flood forged --flood-count 40000 --flood-rate 10000
    probe 90
    stop_sim
    array=$(get array_ms)
    [ -n "$array" ] && [ "$array" -ge 0 ] && array="array delivered at 5000 $(echo "$array" | awk '{ printf "%+d", $1 - 5000 }') ms" ||
        array="no array"
    row "40,000 forged valid replies, 10,000/s (5 devices)" \
        "$(search_figure); $array; $(get listed) listed; $(memory_figure); $sent sent" \
        "array < 200 ms after the 5000 ms gathering, call ≤ 5300 ms"
    ;;
genuine200)
    flood_search "200 devices during 16-byte junk at 5,000/s" 200 60 \
        "all 200 listed, ≤ 5300 ms" --flood junk --flood-rate 5000 --flood-seconds 10
    ;;
login | login-match)
    if [ "$ORV_PROBE_SCENARIO" = login ]; then
        start_sim --count 1 --flood mismatch --flood-on login --flood-seconds 12
        probe 60 --login 192.168.1.2,SN99999999,admin123
        title="login amid non-matching replies (as fast as possible), no device answers"
        target="ends by 3200 ms"
    else
        start_sim --count 1 --delay 1=500 --flood mismatch --flood-rate 100000 --flood-on login --flood-seconds 12
        probe 60 --login 192.168.1.2,SN00000001,admin123
        title="a login amid 100,000 non-matching replies a second, the device's reply 500 ms into the stream"
        target="\"success\" by 3200 ms"
    fi
    stop_sim
    if [ -z "$(get login_ms)" ]; then
        login="login did not return within $(get did_not_return_s) s (killed)"
    else
        login="login $(get login_ms) ms, reply $(get login_reply)"
    fi
    row "$title" "$login; $(get login_syn_not_matched_lines) \"syn not matched!\" lines; $(boxes login_boxes); $sent sent" "$target"
    ;;
port-held)
    "$build/bench/floodprobe" --hold-port 10088 >"$work/hold.out" 2>&1 &
    other_pids=$!
    until grep -q holding "$work/hold.out" 2>/dev/null; do
        kill -0 $other_pids 2>/dev/null || { row "port held" "the holder could not bind: $(cat "$work/hold.out")" ""; exit 0; }
        sleep 0.05
    done
    start_sim --count 7
    probe 60 --login 192.168.1.2,SN00000001,admin123
    stop_sim
    first=$(sed -n 's/^warning=//p' "$work/probe.out" | head -n 1)
    row "another program holds UDP 10088 (7 devices), then a login" \
        "$(search_figure); $(get listed)/7 listed; $(boxes search_boxes); $(get search_warnings) warnings during the search${first:+ (first: \"$first\")}; login: reply $(get login_reply), $(boxes login_boxes)" \
        "stops at once with a critical box naming the cause; no warning storm"
    ;;
net-down | no-card)
    if [ "$ORV_PROBE_SCENARIO" = net-down ]; then
        probe 40
        title="network down (lo down, so the group is unreachable)"
    else
        start_sim --count 5
        probe 40 --card nosuch0
        stop_sim
        title="search on a card that does not exist (\"nosuch0\", 5 devices on lo)"
    fi
    first=$(sed -n 's/^warning=//p' "$work/probe.out" | head -n 1)
    row "$title" \
        "$(search_figure); $(get listed) listed; $(boxes search_boxes); $(get search_warnings) warnings${first:+ (first: \"$first\")}" \
        "a critical box naming the cause"
    ;;
starts)
    pids=
    for i in $(seq 20); do
        "$build/app/tarnvale-manager" >/dev/null 2>&1 &
        pids="$pids $!"
    done
    other_pids=$pids
    sleep 5
    running=0
    for pid in $pids; do kill -0 "$pid" 2>/dev/null && running=$((running + 1)); done
    row "20 simultaneous starts of the program" "$running running after 5 s" "exactly 1"
    ;;
genuine*)
    n=${ORV_PROBE_SCENARIO#genuine}
    start_sim --count "$n"
    probe 60
    stop_sim
    row "$n genuine devices, no flood" "$(search_figure); $(get listed)/$n listed; $(memory_figure)" \
        "all listed, ≤ 5050 ms"
    ;;
*)
    row "$ORV_PROBE_SCENARIO" "unknown scenario" ""
    ;;
esac
