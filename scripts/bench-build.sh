#!/usr/bin/env bash
# Builds the benchmarks beside everything else in build/, without running them: a benchmark
# that no longer compiles stops CI. (bench/run_all.sh builds and runs them in Release.)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/need-packages.sh libbenchmark-dev
scripts/setup.sh
cmake -S . -B build -DVQ_BENCH=ON >/dev/null
cmake --build build --parallel
