# What both soaks do alike, sourced by tools/soak.sh and tools/soak-hostile.sh once $dir is
# their scratch folder.

# A loopback port no one listens on now.
free_port() {
    python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

# A Mosquitto of the soak's own on a free loopback port: write_broker_conf sets $mport,
# start_broker (again after a kill) sets $broker.
write_broker_conf() {
    mport=$(free_port)
    printf 'listener %s 127.0.0.1\nallow_anonymous true\npersistence false\n' "$mport" \
        >"$dir/broker.conf"
}
start_broker() {
    mosquitto -c "$dir/broker.conf" >/dev/null 2>&1 &
    broker=$!
}

# The simulator, started with the arguments given and its output in $dir: sets $sim, and $port
# once it says where it listens (up to 5 s).
start_sim() {
    "$build/corvane-sim" --port 0 "$@" >"$dir/sim.out" 2>"$dir/sim.err" &
    sim=$!
    port=
    for _ in $(seq 50); do
        port=$(sed -n 's/^tcp: 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$dir/sim.out")
        [ -n "$port" ] && return
        sleep 0.1
    done
}
