#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds everything and runs the whole test suite.
# Exits non-zero on any failure. Usage: scripts/test.sh [build-dir] [extra cmake args...]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build=${1:-build}
shift || true
cmake -S . -B "$build" -G Ninja -DVARDEX_TESTS=ON "$@"
cmake --build "$build" -j"$(nproc)"
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 300
