#!/bin/bash
# The real program under a real display: the window system gets the bare captions as titles,
# with nothing of the toolkit's own appended ("Corvane Local", never "Corvane Local — Corvane").
# Usage: titles_test.sh <build folder>
set -u
build=$1
command -v xvfb-run >/dev/null && command -v xwininfo >/dev/null || exit 77
work=$(mktemp -d)
trap 'kill $sim 2>/dev/null; rm -rf "$work"' EXIT

"$build/corvane-sim" --port 0 --sensors 3 >"$work/sim.out" 2>"$work/sim.err" &
sim=$!
for _ in $(seq 50); do
    port=$(grep -o '127.0.0.1:[0-9]*' "$work/sim.out" | cut -d: -f2)
    [ -n "$port" ] && break
    sleep 0.1
done
[ -n "$port" ] || { echo "simulator did not start"; exit 1; }

cat >"$work/run.sh" <<SCRIPT
#!/bin/bash
CORVANE_HOME="$work/home" XDG_STATE_HOME="$work/state" QT_QPA_PLATFORM=xcb \
    "$build/corvane" -I$port &
program=\$!
for _ in \$(seq 100); do
    xwininfo -root -tree >"$work/tree" 2>/dev/null
    grep -q '"Corvane Local' "$work/tree" && break
    sleep 0.1
done
kill -TERM \$program
wait \$program
SCRIPT
chmod +x "$work/run.sh"
mkdir -p "$work/home"
xvfb-run -a -s "-screen 0 1280x1024x24" "$work/run.sh" 2>/dev/null
if ! grep -q '"Corvane Local"' "$work/tree"; then
    echo "no window titled exactly \"Corvane Local\":"
    grep -i corvane "$work/tree"
    exit 1
fi
if grep -q ' — Corvane' "$work/tree"; then
    echo "a title carries the toolkit's suffix:"
    grep ' — Corvane' "$work/tree"
    exit 1
fi
