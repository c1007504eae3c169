#!/bin/sh
# Builds the benchmarks in build-bench (Release) and runs them.
set -eu
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARDEX_BENCH=ON -DVARDEX_TESTS=OFF
cmake --build build-bench -j2 --target vardex_bench
./build-bench/bench/vardex_bench "$@"
