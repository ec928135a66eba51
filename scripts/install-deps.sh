#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need. Safe to run again.
set -euo pipefail
packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-serialport-dev qt6-qpa-plugins libgl-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev
    socat xvfb xauth x11-utils imagemagick fonts-dejavu-core
    libmosquitto-dev mosquitto mosquitto-clients openssl python3 libsqlite3-dev sqlite3
    desktop-file-utils appstream dpkg-dev systemd man-db dbus-daemon
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
