#!/usr/bin/env bash
# Builds the fuzz targets into build-fuzz and runs each for N seconds (default 60), after
# replaying its seeds from fuzz/corpus/<target>/ (the target fuzz_<target>). New inputs go to
# fuzz-out/<target>/, crashes to fuzz-out/artifacts/.
#   fuzz/run.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
dir=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCORVANE_FUZZ=ON -DCORVANE_GUI=OFF -DCORVANE_TESTS=OFF -DCORVANE_BENCH=OFF \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$dir" --target corvane_fuzzers -j 2
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p fuzz-out/artifacts
status=0
for bin in "$dir"/fuzz_*; do
    [ -x "$bin" ] && [ -f "$bin" ] || continue
    name=$(basename "$bin")
    target=${name#fuzz_}
    seeds=fuzz/corpus/$target
    work=fuzz-out/$target
    mkdir -p "$work"
    echo "== $name"
    if [ -d "$seeds" ] && [ -n "$(ls -A "$seeds")" ]; then
        "$bin" -runs=0 "$seeds" || { status=1; continue; }
    else
        seeds=
    fi
    "$bin" -max_total_time="$seconds" -artifact_prefix="fuzz-out/artifacts/$target-" \
        "$work" ${seeds:+"$seeds"} || status=1
done
exit $status
