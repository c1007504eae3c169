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
# Most tests spend their time waiting on the simulated controller's replies and time-outs,
# not computing (the suite's CPU time is under a tenth of its run time), so four run per
# core unless VARDEX_TEST_JOBS says how many.
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure \
    -j"${VARDEX_TEST_JOBS:-$(($(nproc) * 4))}" --timeout 300
