#!/usr/bin/env bash
# Installs what Dealbrix needs to build, run and test on Debian 12, only the packages that are missing.
set -euo pipefail

packages=(
    g++ make cmake pkgconf
    qt6-base-dev qt6-base-dev-tools libgl-dev
    qt6-websockets-dev libqt6sql6-sqlite qt6-charts-dev libqt6opengl6-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev
    fonts-dejavu-core
    xvfb xauth x11-utils xdotool
    python3-pyatspi gir1.2-atspi-2.0 at-spi2-core dbus procps
    desktop-file-utils appstream shared-mime-info groff-base file dpkg-dev
    haproxy openssl openbox lintian systemd sqlite3 ccache
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
