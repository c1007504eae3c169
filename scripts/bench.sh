#!/usr/bin/env bash
# Builds the benchmarks in build-bench (RelWithDebInfo, the project's default build type,
# so a compiler cache warmed by an ordinary build serves it) and runs them, each printing its own
# account, then one table of every goal: target, measured (min / median / max) and
# whether it is met. bench/README.md says what each figure means.
# Usage: scripts/bench.sh [benchmark...]  (default: all of them)
#   vardex_bench          one exchange through the data module: one CPU, two CPUs, free
#   log_read_bench        the full 16384-record log read, at 0 and 1 ms latency
#   export_bench          16384 records x 40 columns to .xlsx, against openpyxl
#   vardex_chart_bench    12 x 16384 points painted and zoomed, per chart library
#   vardex_trace_bench    the exchange trace dock open during a long log read
#   vardex_page_bench     the window's CPU during a log read and while polling
#   vardex_startup_bench  vardex and vardex-demo from start to a mapped window
#   vardex_click_bench    a click or watchdog time-out to the wire, under long sequences
#   serve_bench           vardex-cli serve: scrape latency, RSS and CPU (metrics and MQTT on)
# The CI does not run this: the benches take about 10 minutes and their figures depend
# on the machine. On a machine shared with other work, trust the CPU figures.
set -euo pipefail
cd "$(dirname "$0")/.."
all="vardex_bench log_read_bench export_bench vardex_chart_bench vardex_trace_bench
     vardex_page_bench vardex_startup_bench vardex_click_bench serve_bench"
# shellcheck disable=SC2206
benches=(${*:-$all})
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARDEX_BENCH=ON \
    -DVARDEX_TESTS=OFF "${launcher[@]}" >/dev/null
cmake --build build-bench -j2 --target "${benches[@]}"

results=build-bench/bench-results.txt
: >"$results"
# These need a real X server: start-up maps windows, Qt Charts' OpenGL needs a context.
needs_x=" vardex_startup_bench vardex_chart_bench "
for b in "${benches[@]}"; do
    echo "== $b" | tee -a "$results"
    status=0
    if [[ "$needs_x" == *" $b "* ]]; then
        if [ -n "${DISPLAY:-}" ]; then
            (cd build-bench/bench && env -u QT_QPA_PLATFORM "./$b") 2>&1 | tee -a "$results" ||
                status=$?
        elif command -v xvfb-run >/dev/null; then
            (cd build-bench/bench &&
                xvfb-run -a -s "-screen 0 1600x1000x24" env -u QT_QPA_PLATFORM "./$b") 2>&1 |
                tee -a "$results" || status=$?
        else
            (cd build-bench/bench && QT_QPA_PLATFORM=offscreen "./$b") 2>&1 | tee -a "$results" ||
                status=$?
        fi
    else
        (cd build-bench/bench && QT_QPA_PLATFORM=offscreen "./$b") 2>&1 | tee -a "$results" ||
            status=$?
    fi
    if [ "$status" -ne 0 ]; then
        echo "SUMMARY|$b|exited with status $status|-|-|-||failed" | tee -a "$results"
    fi
done

echo
echo "== summary ($(nproc) CPUs, load average $(cut -d' ' -f1-3 /proc/loadavg); full output in $results)"
grep '^SUMMARY|' "$results" | awk -F'|' '
    BEGIN {
        printf "%-62s %-30s %10s %10s %10s %-4s %s\n", "goal", "target", "min", "median",
               "max", "unit", "met"
    }
    {
        printf "%-62s %-30s %10s %10s %10s %-4s %s\n", $2, $3, $4, $5, $6, $7, $8
    }'
