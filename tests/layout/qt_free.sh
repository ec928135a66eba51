#!/usr/bin/env bash
# The folders say where Qt may be used: nothing outside a qt/ folder includes a Qt header, the
# Qt-free libraries link no Qt symbol, and nothing under conn/, output/, mqtt/ or history/ reaches into
# app/.
#   qt_free.sh SRC_DIR LIBRARY...
set -u
src=$1
shift
status=0
found=$(grep -rnE '#include[[:space:]]*<Q|#include[[:space:]]*<qt' "$src" --include='*.h' \
            --include='*.cpp' | grep -v '/qt/')
if [ -n "$found" ]; then
    echo "Qt header outside a qt/ folder:"
    echo "$found"
    status=1
fi
found=$(grep -rn '#include "app/' "$src/conn" "$src/output" "$src/mqtt" "$src/history")
if [ -n "$found" ]; then
    echo "conn/, output/, mqtt/ or history/ includes app/:"
    echo "$found"
    status=1
fi
for lib in "$@"; do
    if nm -C --undefined-only "$lib" 2>/dev/null | grep -qE '\bQ[A-Z][A-Za-z]*::|qt_'; then
        echo "Qt symbol in $lib:"
        nm -C --undefined-only "$lib" | grep -E '\bQ[A-Z][A-Za-z]*::|qt_' | head -5
        status=1
    fi
done
exit $status
