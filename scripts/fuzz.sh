#!/usr/bin/env bash
# Builds every fuzz target with clang in build-fuzz/ and runs each for $1 seconds
# (default 60); further arguments name the targets to run (default: all). Targets
# run side by side, one per core. Exits non-zero when a fuzzer finds a crash; its
# reproducer is left in build-fuzz/.
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

# -O1 with line tables: what fuzzing builds usually take, quicker to compile than -O2
# and enough for a crash's stack to name its lines.
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja \
    -DVARDEX_FUZZ=ON -DVARDEX_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only -DNDEBUG" >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

cd "$build" # crash-* reproducers land here
mkdir -p "$build/logs"
run_one() {
    local target=$1
    mkdir -p "$build/corpus/$target"
    QT_QPA_PLATFORM=offscreen "$build/fuzz/$target" -max_total_time="$seconds" \
        -print_final_stats=1 "$build/corpus/$target" >"$build/logs/$target.log" 2>&1
}
# Each fuzzer is one process on one core; its output is shown whole when it ends.
jobs_at_once=$(nproc)
declare -A running=()
failed=()
finish_one() {
    local pid=$1 status=$2 target=${running[$1]}
    unset "running[$pid]"
    echo "== $target for $seconds s"
    if [ "$status" -eq 0 ]; then
        tail -n 25 "$build/logs/$target.log"
    else
        cat "$build/logs/$target.log"
        failed+=("$target")
    fi
}
for target in "${targets[@]}"; do
    while ((${#running[@]} >= jobs_at_once)); do
        status=0
        wait -n -p done_pid "${!running[@]}" || status=$?
        finish_one "$done_pid" "$status"
    done
    run_one "$target" &
    running[$!]=$target
done
while ((${#running[@]})); do
    status=0
    wait -n -p done_pid "${!running[@]}" || status=$?
    finish_one "$done_pid" "$status"
done
if ((${#failed[@]})); then
    echo "fuzzing found a fault in: ${failed[*]} (reproducers in $build)" >&2
    exit 1
fi
