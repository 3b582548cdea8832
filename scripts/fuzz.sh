#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan and UBSan on) into build-fuzz/ and runs each
# for SECONDS (default 20), keeping its corpus in build-fuzz/corpus/. Fails on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_EACH=${1:-20}
scripts/setup.sh >/dev/null
scripts/need-packages.sh clang-14 libclang-rt-14-dev
if [ ! -f build-fuzz/CMakeCache.txt ]; then
    cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
        -DVQ_FUZZ=ON -DBUILD_TESTING=OFF -DVQ_WERROR=ON >/dev/null
fi
cmake --build build-fuzz --parallel >build-fuzz/build.log || { tail -n 30 build-fuzz/build.log >&2; exit 1; }
export QT_QPA_PLATFORM=offscreen UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
for target in textops fieldnumber grade decode csv; do
    mkdir -p "build-fuzz/corpus/$target"
    log="build-fuzz/fuzz_$target.log"
    status=0
    build-fuzz/tests/fuzz/fuzz_$target -max_total_time="$SECONDS_EACH" -max_len=4096 \
        -print_final_stats=1 -artifact_prefix=build-fuzz/ "build-fuzz/corpus/$target" \
        $([ -d "tests/fuzz/seeds/$target" ] && echo "tests/fuzz/seeds/$target") >"$log" 2>&1 || status=$?
    echo "fuzz_$target ($SECONDS_EACH s): $(grep -E '^#[0-9]+' "$log" | tail -1 | cut -c1-70)"
    if [ "$status" -ne 0 ]; then
        grep -E 'SUMMARY|ERROR' "$log" >&2 || true
        echo "fuzz_$target found a fault; see $log and build-fuzz/crash-*" >&2
        exit 1
    fi
done
