#!/usr/bin/env bash
# Checks the desktop entry and the AppStream metainfo with their own validators: no errors and no
# warnings. Exit 77 (skipped) when the tool is not installed.
#   validate.sh desktop FILE | validate.sh appstream FILE
set -uo pipefail
kind=$1 file=$2
case $kind in
desktop)
    command -v desktop-file-validate >/dev/null || exit 77
    out=$(desktop-file-validate "$file" 2>&1)
    ;;
appstream)
    command -v appstreamcli >/dev/null || exit 77
    out=$(appstreamcli validate --no-net --explain "$file" 2>&1)
    status=$?
    [ $status -eq 0 ] || { echo "$out"; exit 1; }
    # Pedantic notes and infos are fine; errors and warnings are not.
    out=$(echo "$out" | grep -E '^(E|W):' || true)
    ;;
esac
if [ -n "$out" ]; then
    echo "$out"
    exit 1
fi
echo "$file: valid"
