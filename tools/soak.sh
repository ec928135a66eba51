#!/usr/bin/env bash
# Soak: the real window (headless) fed by the simulator at a steady rate for a while. Prints the
# resident memory over time and compares the simulator's count of valid lines with the packet
# log's. Exits non-zero when the program died or a valid line went missing.
#   tools/soak.sh [--service] [--publish] [seconds=600] [lines-per-second=2000] [sensors=2000]
#   tools/soak.sh --hostile [seconds=600] [lines-per-second=2000]
# --service soaks corvane --headless instead of the window. Both record into the history
# database beside the program, whose size is printed with the memory. --publish has the program
# publish to a Mosquitto of its own on loopback, and prints what it sent and dropped.
# --hostile soaks the service instead, against everything around it going wrong at once: a
# receiver that drops the connection now and then, a broker killed and started again every 30 s,
# and a standard output read slowly. It prints memory and open descriptors over time and fails
# when the service died or either grew after the first minute (memory beyond what the reads
# still filling the ring take).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = "--hostile" ]; then
    shift
    exec tools/soak-hostile.sh "$@"
fi
service=0
if [ "${1:-}" = "--service" ]; then
    service=1
    shift
fi
publish=0
if [ "${1:-}" = "--publish" ]; then
    publish=1
    shift
fi
seconds=${1:-600}
rate=${2:-2000}
sensors=${3:-2000}
build=${BUILD:-build}
dir=$(mktemp -d)
broker=
trap 'kill $prog $sim $broker 2>/dev/null || true; rm -rf "$dir"' EXIT
. tools/soak-common.sh
cp "$build/corvane" "$dir/corvane"
printf '[Settings]\r\nLogPackets=1\r\nLogRateSec=60\r\n' > "$dir/corvane.INI"
if [ "$publish" = 1 ]; then
    write_broker_conf
    start_broker
    sleep 0.5
    printf '[MQTT]\r\nHost=127.0.0.1\r\nPort=%s\r\nStation=soak\r\n' "$mport" >>"$dir/corvane.INI"
fi

count=$((seconds * rate))
start_sim --sensors "$sensors" --repeaters 32 --entries 32 --rate "$rate" --count "$count" --once
if [ "$service" = 1 ]; then
    "$dir/corvane" --headless "-I$port" >"$dir/service.out" 2>&1 &
else
    QT_QPA_PLATFORM=offscreen "$dir/corvane" "-I$port" >/dev/null 2>&1 &
fi
prog=$!

echo "seconds rss_kib packet_log_lines history_kib"
start=$(date +%s)
while kill -0 "$sim" 2>/dev/null; do
    sleep 10
    kill -0 "$prog" 2>/dev/null || { echo "the program died" >&2; exit 1; }
    rss=$(awk '/VmRSS/ {print $2}' "/proc/$prog/status")
    lines=$(cat "$dir"/corvane_*.txt 2>/dev/null | wc -l)
    history=$(du -k "$dir/corvane_history.db" 2>/dev/null | cut -f1)
    echo "$(( $(date +%s) - start )) $rss $lines ${history:-0}"
done
sleep 2
kill -0 "$prog" 2>/dev/null || { echo "the program died" >&2; exit 1; }
kill -TERM "$prog"
wait "$prog" || true
logged=$(( $(cat "$dir"/corvane_*.txt | wc -l) - 1 ))
valid=$(sed -n 's/^ *valid[: ]*\([0-9]*\).*/\1/p' "$dir/sim.err" | head -1)
echo "simulator: valid lines sent $valid; packet log: $logged lines"
if command -v sqlite3 >/dev/null; then
    echo "history database: $(sqlite3 "$dir/corvane_history.db" 'SELECT count(*) FROM reads') reads"
fi
cat "$dir/sim.err"
[ "$service" = 1 ] && grep -h "MQTT broker .* sent" "$dir/service.out" || true
[ "$valid" = "$logged" ]
