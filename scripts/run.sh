#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program against a simulated receiving
# station on this machine, so the window fills with sensors, repeaters and entry points within
# seconds. Closing the window stops the simulator. Arguments go to the simulator, for example
#   scripts/run.sh --sensors 300 --repeaters 12 --entries 5
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: the monitor is a desktop program and needs one." >&2
    echo "Run it under a virtual display instead:  xvfb-run -a scripts/run.sh" >&2
    exit 1
fi
# A healthy network with a few troubles: sensors report every 10 to 20 s at their own periods,
# some heard twice over a second route; after a minute four sensors and repeater 'a' stop, so
# that the monitor shows them late and then silent. Port 0 lets the simulator pick a free port,
# which it prints first.
out=$(mktemp)
build/corvane-sim --port 0 --sensors 60 --repeaters 6 --entries 3 --periods 10-20 \
    --silence 60 --silence-sensors 4 "$@" 2>&1 >"$out" &
sim=$!
trap 'kill "$sim" 2>/dev/null || true; rm -f "$out"' EXIT
for _ in $(seq 50); do
    port=$(sed -n 's/^tcp: 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$out")
    [ -n "$port" ] && break
    kill -0 "$sim" 2>/dev/null || { echo "The simulator did not start." >&2; exit 1; }
    sleep 0.1
done
[ -n "${port:-}" ] || { echo "The simulator did not report its port." >&2; exit 1; }
echo "Simulated receiving station on 127.0.0.1:$port"
build/corvane "-I$port"
