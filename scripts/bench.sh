#!/usr/bin/env bash
# Builds the benchmarks in build-bench (Release) and runs them, each printing its own
# figures. Usage: scripts/bench.sh [benchmark...]  (default: all of them)
#   vardex_bench        one exchange through the data module (pinned and unpinned)
#   log_read_bench      the full 16384-record log read, at 0 and 1 ms latency
#   export_bench        16384 records x 40 columns to .xlsx, against openpyxl
#   vardex_chart_bench  12 x 16384 points painted and zoomed, per chart library
#   vardex_trace_bench  the exchange trace dock open during a full log read
set -euo pipefail
cd "$(dirname "$0")/.."
all="vardex_bench log_read_bench export_bench vardex_chart_bench vardex_trace_bench"
benches=${*:-$all}
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARDEX_BENCH=ON -DVARDEX_TESTS=OFF
# shellcheck disable=SC2086
cmake --build build-bench -j2 --target $benches
for b in $benches; do
    echo "== $b"
    (cd build-bench/bench && QT_QPA_PLATFORM=offscreen "./$b")
done
