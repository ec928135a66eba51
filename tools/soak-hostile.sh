#!/usr/bin/env bash
# The hostile soak of the service (see tools/soak.sh --hostile).
#   tools/soak-hostile.sh [seconds=600] [lines-per-second=2000]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
rate=${2:-2000}
build=${BUILD:-build}
dir=$(mktemp -d)
broker=
cleanup() {
    kill "$prog" "$sim" "$reader" 2>/dev/null || true
    [ -n "$broker" ] && kill -9 "$broker" 2>/dev/null || true
    rm -rf "$dir"
}
trap cleanup EXIT
. tools/soak-common.sh
write_broker_conf
start_broker

cp "$build/corvane" "$dir/corvane"
printf '[Settings]\r\nLogPackets=1\r\nLogRateSec=60\r\n[MQTT]\r\nHost=127.0.0.1\r\nPort=%s\r\nStation=soak\r\nStateEverySec=10\r\n' \
    "$mport" >"$dir/corvane.INI"
# A receiver that drops the connection on about one line in a thousand, and takes the next.
start_sim --sensors 2000 --repeaters 32 --entries 32 --rate "$rate" --faults disconnect \
    --fault-rate 0.001
mkfifo "$dir/out"
# Standard output read at twenty lines a second, far slower than the service writes it.
(while IFS= read -r _; do sleep 0.05; done <"$dir/out") &
reader=$!
CORVANE_HOME="$dir" "$dir/corvane" --headless "-I$port" >"$dir/out" 2>"$dir/err" &
prog=$!

echo "seconds rss_kib fds packet_log_lines"
start=$(date +%s)
base_rss=
base_fds=
base_lines=0
worst_rss=0
worst_fds=0
next_kill=30
while :; do
    sleep 10
    now=$(( $(date +%s) - start ))
    kill -0 "$prog" 2>/dev/null || { echo "the service died" >&2; cat "$dir/err" >&2; exit 1; }
    if [ "$now" -ge "$next_kill" ]; then
        kill -9 "$broker" 2>/dev/null || true
        wait "$broker" 2>/dev/null || true
        start_broker
        next_kill=$((next_kill + 30))
    fi
    rss=$(awk '/VmRSS/ {print $2}' "/proc/$prog/status")
    fds=$(ls "/proc/$prog/fd" | wc -l)
    lines=$(cat "$dir"/corvane_*.txt 2>/dev/null | wc -l)
    echo "$now $rss $fds $lines"
    if [ "$now" -ge 60 ] && [ -z "$base_rss" ]; then
        base_rss=$rss
        base_fds=$fds
        base_lines=$lines
    fi
    [ "$rss" -gt "$worst_rss" ] && worst_rss=$rss
    [ "$fds" -gt "$worst_fds" ] && worst_fds=$fds
    [ "$now" -ge "$seconds" ] && break
done
kill -TERM "$prog"
for _ in $(seq 20); do kill -0 "$prog" 2>/dev/null || break; sleep 0.1; done
kill -0 "$prog" 2>/dev/null && { echo "SIGTERM did not end the service within 2 s" >&2; exit 1; }
# The store's tables are touched only as reads first fill the ring (80000 reads, about 140 bytes
# each), and here the reads come slowly: what they may still add is allowed for, no more.
ring=$(( lines - base_lines < 80000 ? lines - base_lines : 80000 ))
[ "$ring" -lt 0 ] && ring=0
allowed=$(( base_rss + base_rss / 10 + ring * 140 / 1024 ))
echo "after the first minute: memory $base_rss KiB, at most $worst_rss (allowed $allowed with $ring reads more in the ring); descriptors $base_fds, at most $worst_fds"
# Flat: no more than a tenth above the first minute's memory besides the ring's filling, and no
# descriptor more than the connections that may be open at once.
[ "$worst_rss" -le "$allowed" ] && [ "$worst_fds" -le $((base_fds + 3)) ]
