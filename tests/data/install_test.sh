#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what an installed copy needs: the
# programs, the guide under share/corvane, the menu entry, the icons, the metainfo and the manual
# pages; then runs the installed program's --help and --version without any display.
#   install_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1 version=$2
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
cmake --install "$build" --prefix "$dest/usr" >/dev/null
missing=0
for f in bin/corvane bin/corvane-sim share/corvane/Corvane.html \
    share/applications/org.example.corvane.desktop \
    share/metainfo/org.example.corvane.metainfo.xml \
    share/icons/hicolor/scalable/apps/org.example.corvane.svg \
    share/icons/hicolor/16x16/apps/org.example.corvane.png \
    share/icons/hicolor/48x48/apps/org.example.corvane.png \
    share/icons/hicolor/256x256/apps/org.example.corvane.png \
    share/man/man1/corvane.1.gz share/man/man1/corvane-sim.1.gz \
    lib/systemd/system/corvane@.service; do
    [ -e "$dest/usr/$f" ] || { echo "not installed: $f"; missing=1; }
done
[ $missing -eq 0 ]
# No test binaries, libraries or headers in an installed tree.
extra=$(cd "$dest/usr" && find . -type f | grep -Ev '^\./(bin/corvane(-sim)?|lib/systemd/system/corvane@\.service|share/(corvane|applications|metainfo|icons|man|doc)/.*)$' || true)
[ -z "$extra" ] || { echo "unexpected files:"; echo "$extra"; exit 1; }
# The metainfo carries this version, the manual page too.
grep -q "release version=\"$version\"" "$dest/usr/share/metainfo/org.example.corvane.metainfo.xml"
zcat "$dest/usr/share/man/man1/corvane.1.gz" | grep -q "corvane $version"
out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$dest/usr/bin/corvane" --version)
[ "$out" = "corvane $version" ] || { echo "--version printed: $out"; exit 1; }
help=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$dest/usr/bin/corvane" --help)
for option in -I -A --help --version; do
    grep -q -- "$option" <<<"$help" || { echo "--help lacks $option"; exit 1; }
done
# Started from the installed tree, it writes nothing beside bin/: settings, logs and window state
# go to the user's folders (here under the temporary folder), made when needed.
user="$dest/user"
mkdir -p "$user/home" "$user/cfg/corvane"
printf '[Settings]\r\nLogRateSec=1\r\n' >"$user/cfg/corvane/corvane.INI"
env -u CORVANE_HOME QT_QPA_PLATFORM=offscreen HOME="$user/home" XDG_CONFIG_HOME="$user/cfg" \
    XDG_DATA_HOME="$user/data" XDG_STATE_HOME="$user/state" \
    "$dest/usr/bin/corvane" &
pid=$!
for _ in $(seq 100); do
    [ -e "$user/data/corvane/corvane_01.LOG" ] && break
    sleep 0.1
done
kill -TERM "$pid"
wait "$pid"
[ -e "$user/data/corvane/corvane_01.LOG" ] || { echo "no statistics log under XDG_DATA_HOME"; exit 1; }
[ -f "$user/state/corvane/window.ini" ] || { echo "no window state under XDG_STATE_HOME"; exit 1; }
[ "$(ls "$dest/usr/bin")" = "$(printf 'corvane\ncorvane-sim')" ] || { echo "wrote beside bin/"; exit 1; }
echo "installed and answered: $out"
