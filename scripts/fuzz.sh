#!/usr/bin/env bash
# Builds every fuzz target with clang in build-fuzz/ and runs each for $1 seconds
# (default 60); further arguments name the targets to run (default: all). Exits
# non-zero when a fuzzer finds a crash; its reproducer is left in build-fuzz/.
set -euo pipefail

seconds="${1:-60}"
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(reply_fuzz reply_stream_fuzz report_descriptor_fuzz cfg_file_fuzz upr_file_fuzz
        log_file_fuzz fgd_file_fuzz icmp_reply_fuzz)
fi
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-fuzz"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja \
    -DVARDEX_FUZZ=ON -DVARDEX_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target "${targets[@]}"

cd "$build" # crash-* reproducers land here
for target in "${targets[@]}"; do
    corpus="$build/corpus/$target"
    mkdir -p "$corpus"
    echo "== $target for $seconds s"
    QT_QPA_PLATFORM=offscreen "$build/fuzz/$target" -max_total_time="$seconds" \
        -print_final_stats=1 "$corpus"
done
