#!/usr/bin/env bash
# Builds the Debian package from an existing build folder, shows and checks its
# content, runs lintian (no error, no warning), installs it with apt-get without
# recommended packages, starts the installed vardex-demo under Xvfb, reads an
# installed manual page and has systemd check the installed watchdog unit.
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
cmake --build "$build" --target vardex vardex-demo vardex-cli package_docs
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
changelog_version=$(dpkg-parsechangelog -l packaging/changelog -S Version)
if [ "$changelog_version" != "$version" ]; then
    echo "packaging/changelog is at $changelog_version, the project at $version" >&2
    exit 1
fi
# Files keep the modes the package gives them, whatever the umask of the build.
(cd "$build" && umask 022 && cpack -G DEB >/dev/null)
deb="$build/vardex_${version}_amd64.deb"
test -f "$deb"

echo "== $deb"
dpkg-deb -c "$deb"
dpkg-deb -f "$deb" Depends
listing=$(dpkg-deb -c "$deb")
for f in ./usr/bin/vardex ./usr/bin/vardex-demo ./usr/bin/vardex-cli \
    ./usr/lib/udev/rules.d/70-quellbox.rules ./usr/share/vardex/udev/71-quellbox-group.rules \
    ./usr/share/applications/vardex.desktop \
    ./usr/share/metainfo/io.github.vardex.Vardex.metainfo.xml \
    ./usr/share/icons/hicolor/scalable/apps/vardex.svg \
    ./usr/share/icons/hicolor/48x48/apps/vardex.png \
    ./usr/share/icons/hicolor/256x256/apps/vardex.png \
    ./usr/share/doc/vardex/copyright ./usr/share/doc/vardex/changelog.gz \
    ./usr/share/man/man1/vardex.1.gz ./usr/share/man/man1/vardex-demo.1.gz \
    ./usr/share/man/man1/vardex-cli.1.gz; do
    grep -q " $f\$" <<<"$listing" || { echo "missing in the package: $f" >&2; exit 1; }
done
# The display plugin comes through Depends, so an install without recommended
# packages still opens a window.
depends=$(dpkg-deb -f "$deb" Depends)
for d in libqt6gui6 qt6-qpa-plugins libqt6svg6 qt6-translations-l10n; do
    grep -qw "$d" <<<"$depends" || { echo "Depends lacks $d: $depends" >&2; exit 1; }
done

desktop-file-validate packaging/vardex.desktop
appstreamcli validate --no-net packaging/io.github.vardex.Vardex.metainfo.xml

echo "== lintian"
# No error and no warning; overrides live in the package, each with its reason.
lintian --fail-on error,warning --tag-display-limit 0 "$deb"

DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends \
    --reinstall "./$deb"
/usr/bin/vardex --version
/usr/bin/vardex-demo --help >/dev/null
/usr/bin/vardex-cli --version
/usr/bin/vardex-cli --demo describe
# The manual page as a user reads it.
MANPAGER=cat MANWIDTH=80 man vardex-cli | grep -q "vardex-cli - контроллер-монитор Quellbox"

echo "== the installed units"
# systemd's own check of each unit as installed (the watchdog as an instance of its
# template), so ExecStart is checked against the installed vardex-cli. Any remark fails
# the check: an unknown key is only a warning to systemd, and the unit would run without it.
verify_unit() { # installed name, name to check it under
    local unit=/usr/lib/systemd/system/$1
    test -f "$unit" || unit=/lib/systemd/system/$1
    test -f "$unit" || { echo "the unit $1 is not installed" >&2; exit 1; }
    if ! command -v systemd-analyze >/dev/null; then
        echo "systemd-analyze not installed: $1 was not verified"
        return
    fi
    local unit_dir status=0 remarks
    unit_dir=$(mktemp -d)
    cp "$unit" "$unit_dir/$2"
    remarks=$(cd "$unit_dir" && systemd-analyze verify "./$2" 2>&1) || status=$?
    rm -rf "$unit_dir"
    if [ "$status" -ne 0 ] || [ -n "$remarks" ]; then
        echo "systemd-analyze verify (exit $status) on $1: $remarks" >&2
        exit 1
    fi
    echo "systemd-analyze verify $1: clean"
}
verify_unit vardex-watch@.service vardex-watch@check.service
verify_unit vardex-watch.service vardex-watch.service
verify_unit vardex-serve.service vardex-serve.service
for f in /usr/share/vardex/serve.conf /usr/share/vardex/watch.conf /usr/share/vardex/prometheus/vardex-alerts.yml \
    /usr/share/vardex/grafana/vardex-dashboard.json; do
    test -f "$f" || { echo "$f is not installed" >&2; exit 1; }
done
if command -v promtool >/dev/null; then
    promtool check rules /usr/share/vardex/prometheus/vardex-alerts.yml
fi

echo "== the installed vardex-demo under Xvfb"
# It must open its window on a real X display (the xcb plugin) and stay up; the
# screenshot shows it. Only the programs started here are stopped, by their ids.
shot="$build/installed-demo.png"
log="$build/installed-demo.log"
# A display number of its own: several checks may run Xvfb on one machine at once.
xvfb-run -a -n $((200 + $$ % 500)) -s "-screen 0 1280x1024x24" bash -c '
    /usr/bin/vardex-demo >"$1" 2>&1 &
    demo=$!
    for _ in $(seq 1 50); do
        if xdotool search --name "Vardex" >/dev/null 2>&1; then break; fi
        kill -0 "$demo" 2>/dev/null || { echo "vardex-demo ended at start-up" >&2; exit 1; }
        sleep 0.2
    done
    xdotool search --name "Vardex" >/dev/null || { echo "no window of vardex-demo" >&2; exit 1; }
    sleep 1
    kill -0 "$demo" 2>/dev/null || { echo "vardex-demo ended" >&2; exit 1; }
    import -window root "$2"
    kill "$demo"
    wait "$demo" || true
' _ "$log" "$shot"
echo "package ok"
