#!/usr/bin/env bash
# The uninstall script removes what was installed under its prefix and refuses everything else
# the manifest lists: a file outside the prefix stays, and the script says so and fails.
#   uninstall_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
src=$1 build=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
# A build folder of its own, so that the real build's manifest is left alone.
mkdir -p "$dir/build" "$dir/outside"
cmake --install "$build" --prefix "$dir/prefix" >/dev/null
cp "$build/install_manifest.txt" "$dir/build/install_manifest.txt"
echo keep >"$dir/outside/corvane"
printf "\n%s\n" "$dir/outside/corvane" >>"$dir/build/install_manifest.txt"
echo "$dir/prefix/../outside/corvane" >>"$dir/build/install_manifest.txt"
status=0
out=$("$src/scripts/uninstall.sh" "$dir/prefix" "$dir/build" 2>&1) || status=$?
[ $status -eq 1 ] || { echo "exit $status, not 1"; echo "$out"; exit 1; }
[ -f "$dir/outside/corvane" ] || { echo "removed a file outside the prefix"; exit 1; }
[ "$(grep -c 'refused, not under' <<<"$out")" -eq 2 ] || { echo "$out"; exit 1; }
left=$(find "$dir/prefix" -type f 2>/dev/null | wc -l)
[ "$left" -eq 0 ] || { echo "left $left files under the prefix"; find "$dir/prefix" -type f; exit 1; }
[ ! -e "$dir/prefix" ] || [ -z "$(ls -A "$dir/prefix")" ] || { echo "folders left"; exit 1; }
echo "uninstalled the prefix and refused what lay outside it"
