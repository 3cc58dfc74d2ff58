# Sourced by the benchmark scripts, with $sim (the devicesim program) and $work (a scratch
# folder) set. start_sim runs devicesim in the background with the given options and
# returns once it listens; stop_sim ends it. Its output stays in $work/sim.out.
sim_pid=

start_sim() {
    rm -f "$work/sim.out" # else a previous run's line could be read before this one starts
    "$sim" --max-seconds 600 "$@" >"$work/sim.out" 2>"$work/sim.err" &
    sim_pid=$!
    tries=0
    until grep -q listening "$work/sim.out" 2>/dev/null; do
        tries=$((tries + 1))
        if [ $tries -gt 100 ] || ! kill -0 $sim_pid 2>/dev/null; then
            echo "devicesim did not start: $(cat "$work/sim.err")" >&2
            return 1
        fi
        sleep 0.05
    done
}

stop_sim() {
    kill -TERM $sim_pid
    wait $sim_pid || true
    sim_pid=
}
