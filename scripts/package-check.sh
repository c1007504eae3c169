#!/usr/bin/env bash
# Builds the Debian package from an existing build folder, shows and checks its
# content, installs it with apt-get and runs the installed programs once.
# Usage: scripts/package-check.sh [build-dir]   (default: build; configured if missing)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARDEX_TESTS=OFF
fi
# Only what the package holds; a folder the tests already built costs nothing here.
cmake --build "$build" --target vardex vardex-demo vardex-cli
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
(cd "$build" && cpack -G DEB >/dev/null)
deb="$build/vardex_${version}_amd64.deb"
test -f "$deb"

echo "== $deb"
dpkg-deb -c "$deb"
dpkg-deb -f "$deb" Depends
listing=$(dpkg-deb -c "$deb")
for f in ./usr/bin/vardex ./usr/bin/vardex-demo ./usr/bin/vardex-cli \
    ./usr/lib/udev/rules.d/70-quellbox.rules ./usr/share/applications/vardex.desktop \
    ./usr/share/metainfo/io.github.vardex.Vardex.metainfo.xml \
    ./usr/share/icons/hicolor/scalable/apps/vardex.svg \
    ./usr/share/icons/hicolor/48x48/apps/vardex.png \
    ./usr/share/icons/hicolor/256x256/apps/vardex.png; do
    grep -q " $f\$" <<<"$listing" || { echo "missing in the package: $f" >&2; exit 1; }
done

desktop-file-validate packaging/vardex.desktop
appstreamcli validate --no-net packaging/io.github.vardex.Vardex.metainfo.xml

DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends \
    --reinstall "./$deb"
QT_QPA_PLATFORM=offscreen /usr/bin/vardex-demo --help >/dev/null
/usr/bin/vardex-cli --demo describe
echo "package ok"
