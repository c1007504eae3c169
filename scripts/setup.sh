#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need, once.
# Safe to run again: packages already present are not touched.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    # The linker the build uses when present: its links take a fraction of ld's time.
    lld
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
    libhidapi-dev libudev-dev libqcustomplot-dev zlib1g-dev
    qt6-charts-dev libqt6opengl6-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    clang clang-format
    xvfb x11-apps imagemagick fonts-dejavu-core xdotool libxcb1-dev
    python3 python3-openpyxl desktop-file-utils appstream iproute2
    # The package: manual pages from docs/man, lintian, what its Depends name (Qt's
    # display plugins and its own translations), and what package-check.sh runs.
    scdoc lintian dpkg-dev man-db xauth qt6-qpa-plugins qt6-translations-l10n
    # systemd-analyze verifies the shipped watchdog unit; nothing here runs systemd.
    systemd
    # The cabinet service: the metrics listener (Qt's HTTP server, which needs the
    # WebSockets module's CMake files too), sd_notify and the journal, MQTT; the tests
    # run the real promtool, broker and clients on 127.0.0.1.
    qt6-httpserver-dev qt6-websockets-dev libsystemd-dev libmosquitto-dev
    prometheus mosquitto mosquitto-clients
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if ((${#missing[@]})); then
    sudo_cmd=()
    if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
    echo "Installing: ${missing[*]}"
    "${sudo_cmd[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
