#!/usr/bin/env bash
# One application id everywhere: the menu entry's file name, the metainfo's id and launchable,
# the icon's name, the installed icon files and the id the program gives the window system.
#   app_id_test.sh SOURCE_DIR
set -euo pipefail
src=$1
id=$(sed -n 's/^constexpr char ApplicationId\[\] = "\(.*\)";$/\1/p' "$src/src/app/Usage.h")
[ -n "$id" ] || { echo "no ApplicationId in src/app/Usage.h"; exit 1; }
fail=0
check() { [ "$2" = "$3" ] || { echo "$1: '$2', not '$3'"; fail=1; }; }
[ -f "$src/data/$id.desktop" ] || { echo "no data/$id.desktop"; fail=1; }
check "desktop Icon" "$(sed -n 's/^Icon=//p' "$src/data/$id.desktop" 2>/dev/null)" "$id"
meta="$src/data/$id.metainfo.xml.in"
check "metainfo id" "$(sed -n 's:.*<id>\(.*\)</id>.*:\1:p' "$meta")" "$id"
check "metainfo launchable" "$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$meta")" "$id.desktop"
grep -q 'setDesktopFileName(corvane::ApplicationId)' "$src/src/app/qt/main.cpp" ||
    { echo "main.cpp does not give the window system the id"; fail=1; }
for rename in $(grep -o 'RENAME [^ ]*' "$src/data/CMakeLists.txt" | cut -d' ' -f2); do
    case $rename in "$id".*) ;; *) echo "icon installed as $rename"; fail=1 ;; esac
done
[ $fail -eq 0 ] && echo "one id: $id"
exit $fail
