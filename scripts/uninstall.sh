#!/usr/bin/env bash
# Removes what `cmake --install build --prefix PREFIX` installed, and nothing else: of the files
# that build/install_manifest.txt lists, only those under PREFIX, and none that a Debian package
# owns (the manifest may list a package's staging, as after cpack). Folders left empty under
# PREFIX go too. Whatever it refuses it names, and then exits 1.
#   scripts/uninstall.sh PREFIX [BUILD_DIR=build]
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: scripts/uninstall.sh PREFIX [BUILD_DIR]" >&2; exit 2; }
prefix=$(realpath -m "$1")
build=${2:-build}
manifest=$build/install_manifest.txt
[ -f "$manifest" ] || { echo "no $manifest: nothing was installed from $build" >&2; exit 2; }
[ "$prefix" != / ] || { echo "refusing the prefix /" >&2; exit 2; }
refused=0
folders=()
while IFS= read -r file; do
    [ -n "$file" ] || continue
    path=$(realpath -m -s "$file")
    case $path in
    "$prefix"/*) ;;
    *)
        echo "refused, not under $prefix: $file" >&2
        refused=1
        continue
        ;;
    esac
    if command -v dpkg >/dev/null && owner=$(dpkg -S "$path" 2>/dev/null); then
        echo "refused, owned by package ${owner%%:*}: $file" >&2
        refused=1
        continue
    fi
    if [ -e "$path" ] || [ -L "$path" ]; then
        rm -f -- "$path"
        echo "removed $path"
    fi
    folders+=("$(dirname "$path")")
done < <(cat "$manifest"; echo)
# Empty folders under the prefix, deepest first.
for dir in $(printf '%s\n' "${folders[@]}" | sort -ru); do
    while [ "$dir" != "$prefix" ] && [ "${dir#"$prefix"/}" != "$dir" ]; do
        rmdir -- "$dir" 2>/dev/null || break
        dir=$(dirname "$dir")
    done
done
exit $refused
