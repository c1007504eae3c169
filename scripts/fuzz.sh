#!/usr/bin/env bash
# Builds the reply fuzz target with clang in build-fuzz/ and runs it for $1 seconds
# (default 60). Exits non-zero when the fuzzer finds a crash.
set -euo pipefail

seconds="${1:-60}"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-fuzz"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja \
    -DVARDEX_FUZZ=ON -DVARDEX_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target reply_fuzz

corpus="$build/corpus/reply"
mkdir -p "$corpus"
cd "$build" # crash-* reproducers land here
exec "$build/fuzz/reply_fuzz" -max_total_time="$seconds" -print_final_stats=1 "$corpus"
