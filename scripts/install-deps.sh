#!/bin/bash
# Installs the Debian 12 packages the station needs to build, run and test,
# skipping the ones already present.
set -euo pipefail

packages=(
    # build
    cmake ninja-build g++ clang libclang-rt-14-dev pkg-config clang-format clang-tidy
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
    libplist-dev libicu-dev libturbojpeg0-dev libbenchmark-dev
    libsystemd-dev libxcb1-dev libxcb-dpms0-dev libxcb-xinput-dev libxkbcommon-x11-dev
    # run
    xdg-utils fonts-dejavu-core
    # whole-station test rig and peer tools
    xvfb xauth x11-xserver-utils x11-utils xdotool dbus dbus-x11 libglib2.0-bin imagemagick
    libjpeg-turbo-progs libvips-tools gcovr
    at-spi2-core python3-pyatspi gir1.2-atspi-2.0 python3-gi
    openbox python3-fusepy fuse3
    # the Debian package and its checks
    dpkg-dev lintian desktop-file-utils appstream man-db systemd
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
