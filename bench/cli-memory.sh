#!/bin/sh
# Peak memory of "tarnvale-cli list" for 5,000 simulated devices of which one reports a
# 45 KB model, against the same fleet without it (target: at most 2x), in each format,
# with the bytes written to standard output. Prints figures; asserts nothing. Runs in
# network and IPC namespaces of its own (tests/netns-run), so nothing leaves the machine.
#
# Usage: bench/cli-memory.sh [BUILD_DIR]   (default: build)
set -e
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
[ -n "$ORV_BENCH_NETNS" ] || exec env ORV_BENCH_NETNS=1 "$top/tests/netns-run" "$0" "$build"

sim=$build/tools/devicesim/devicesim
cli=$build/cli/tarnvale-cli
for program in "$sim" "$cli" /usr/bin/time; do
    [ -x "$program" ] || { echo "missing $program (build devicesim and tarnvale-cli; apt install time)" >&2; exit 1; }
done
work=$(mktemp -d)
. "$top/bench/simulator.sh"
trap '[ -z "$sim_pid" ] || kill -TERM $sim_pid 2>/dev/null; rm -rf "$work"' EXIT

# fleet FILE MODEL_BYTES: 5,000 devices, the 2,500th with a model of MODEL_BYTES characters.
fleet() {
    awk -v long="$2" 'BEGIN {
        model = "IPC-2120"
        if (long > 0) { model = "M"; while (length(model) * 2 <= long) model = model model
                        while (length(model) < long) model = model "M" }
        printf "{\"devices\": ["
        for (i = 1; i <= 5000; ++i)
            printf "%s{\"ip\": \"10.%d.%d.%d\", \"sn\": \"SNM%05d\", \"mac\": \"02:00:00:%02X:%02X:%02X\", \"model\": \"%s\", \"V\": \"6.0.231024\", \"password\": \"admin123\"}",
                (i > 1 ? ", " : ""), int(i / 65536), int(i / 256) % 256, i % 256, i, int(i / 65536), int(i / 256) % 256, i % 256,
                (i == 2500 ? model : "IPC-2120")
        print "]}"
    }' >"$1"
}

fleet "$work/plain.json" 0
fleet "$work/hostile.json" 45000

printf '%-8s  %-14s  %8s  %12s  %14s\n' fleet format listed "peak KB" "stdout bytes"
for name in plain hostile; do
    start_sim --fleet "$work/$name.json"
    for format in table "table --wide" csv json; do
        status=0
        # shellcheck disable=SC2086 # the format's words are meant to split
        /usr/bin/time -f %M -o "$work/peak" "$cli" list --interface lo --format $format \
            >"$work/out" 2>"$work/err" || status=$?
        listed=$(sed -n 's/^tarnvale-cli: \([0-9]*\) devices.*/\1/p' "$work/err")
        printf '%-8s  %-14s  %8s  %12s  %14s%s\n' "$name" "$format" "${listed:-?}" "$(cat "$work/peak")" \
            "$(wc -c <"$work/out")" "$([ $status -eq 0 ] || echo "  exit status $status")"
        echo "$name $format $(cat "$work/peak")" >>"$work/figures"
    done
    stop_sim
done
echo
awk '{ key = $2 " " ($3 ~ /^--/ ? $3 : ""); peak = $NF }
     $1 == "plain" { plain[key] = peak }
     $1 == "hostile" { printf "%-14s  hostile / plain peak memory: %.2f (target <= 2)\n", key, peak / plain[key] }' \
    "$work/figures"
