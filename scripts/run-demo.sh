#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds the program and starts the demo: the same
# window as vardex, with a simulated controller plugged in. Arguments go to the demo.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DVARDEX_TESTS=OFF
cmake --build build -j"$(nproc)" --target vardex vardex-demo
exec ./build/vardex-demo "$@"
