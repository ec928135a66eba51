#!/usr/bin/env bash
# Checks the service unit as systemd would take it: `systemd-analyze verify` says nothing of it,
# and `systemd-analyze security` rates its exposure 3.0 or less. The program it runs is the one
# just built, standing in for the installed /usr/bin/corvane. Exit 77 (skipped) without
# systemd-analyze.
#   unit_test.sh UNIT PROGRAM
set -uo pipefail
unit=$1 program=$2
command -v systemd-analyze >/dev/null || exit 77
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
# An instance named as a receiver without a port (a colon would be read as a path's end).
instance="$dir/corvane@127.0.0.1.service"
sed "s|/usr/bin/corvane|$program|" "$unit" >"$instance"
grep -q '^ExecStart=/usr/bin/corvane --headless ' "$unit" || { echo "ExecStart is not /usr/bin/corvane --headless"; exit 1; }
out=$(systemd-analyze verify --man=no "$instance" 2>&1)
status=$?
if [ $status -ne 0 ] || [ -n "$out" ]; then
    echo "systemd-analyze verify: $out"
    exit 1
fi
if ! systemd-analyze security --offline=yes --threshold=30 "$instance" >"$dir/security" 2>&1; then
    tail -3 "$dir/security"
    exit 1
fi
grep 'Overall exposure level' "$dir/security"
