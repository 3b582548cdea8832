#!/usr/bin/env bash
# Builds the benchmarks (Release) and runs them all; see bench/README.md.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh >/dev/null
scripts/need-packages.sh nginx-light xvfb libbenchmark-dev curl python3
[ -f build-bench/CMakeCache.txt ] || cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVQ_BENCH=ON -DBUILD_TESTING=OFF -DVQ_WERROR=ON >/dev/null
cmake --build build-bench --parallel >/dev/null
RUNS=${RUNS:-5}
export RUNS QT_LOGGING_RULES='qt.qpa.*=false'

echo "== 1, 2: harvest rate against curl; CPU while waiting"
bench/harvest_rate.sh 2>/dev/null | grep -E '^(median|ratio|CPU)'

echo "== 3: text work of one page"
sleep 2 # let the machine settle after the servers above
build-bench/bench/bench_extract --benchmark_repetitions="$RUNS" --benchmark_min_time=0.5 \
    --benchmark_report_aggregates_only=true 2>/dev/null \
    | grep -E '_median'

echo "== 4: 100,000 rows with the view attached (offscreen)"
for ((r = 1; r <= RUNS; r++)); do
    QT_QPA_PLATFORM=offscreen build-bench/bench/bench_list 100000 2>/dev/null
done | sort -g -k4 | awk '{a[NR]=$0} END {print "median of " NR ": " a[int((NR+1)/2)]}'

echo "== 5: start-up to the window shown (offscreen)"
for ((r = 1; r <= RUNS; r++)); do
    QT_QPA_PLATFORM=offscreen build-bench/bench/bench_startup "$(date +%s%N)" 2>/dev/null
done | sort -g -k2 | awk '{a[NR]=$2} END {print "median startup_ms of " NR ": " a[int((NR+1)/2)]}'

echo "== 6: a far site (answers 100 ms late), 1 to 16 requests in flight, pause 0 and 50 ms"
build-bench/bench/bench_far_site 100 200 2>/dev/null

echo "== 7: a million rows in the window: restore, sorts, a jump, save, memory (offscreen)"
rows_dir=$(mktemp -d)
build-bench/bench/bench_million write "$rows_dir" 1000000
for ((r = 1; r <= RUNS; r++)); do
    QT_QPA_PLATFORM=offscreen build-bench/bench/bench_million window "$rows_dir" 2>/dev/null
    rm -f "$rows_dir"/*.csv
done
rm -rf "$rows_dir"

echo "== 8: vqlirra-cli's peak memory at 1,000, 100,000 and 1,000,000 kept rows"
bench/cli_memory.sh

echo "== 9: the history at scale: a million profiles harvested ten times, the change view, a chart, --changes"
history_dir=$(mktemp -d)
QT_QPA_PLATFORM=offscreen build-bench/bench/bench_history make "$history_dir" 1000000 10 2>/dev/null
for ((r = 1; r <= RUNS; r++)); do
    QT_QPA_PLATFORM=offscreen build-bench/bench/bench_history view "$history_dir" 100000 2>/dev/null
done
QT_QPA_PLATFORM=offscreen build-bench/bench/bench_history chart "$history_dir" 2>/dev/null
for range in "--start 50000000 --end 50009999" ""; do
    # shellcheck disable=SC2086
    /usr/bin/time -f "changes ${range:-of all} peak_kb %M wall_s %e" build-bench/cli/vqlirra-cli --changes \
        --history "$history_dir/Log/history.sqlite" $range --format jsonl --output "$history_dir/changes.jsonl"
done
rm -rf "$history_dir"
