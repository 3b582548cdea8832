#!/usr/bin/env bash
# Peak resident memory of vqlirra-cli at 1,000, 100,000 and 1,000,000 kept rows, with FILE
# (--output) and with the rows streamed to a pipe, against the demo site (short pages, so
# that a million rows take a minute or two). Usage: bench/cli_memory.sh [CLI_PROGRAM]
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-bench
cli=${1:-$build/cli/vqlirra-cli}
work=$(mktemp -d)
trap 'kill $site 2>/dev/null; rm -rf "$work"' EXIT
"$build/demo/vqlirra-demo" --serve --page-bytes 2000 >"$work/url" &
site=$!
for _ in $(seq 50); do [ -s "$work/url" ] && break; sleep 0.1; done
url=$(head -1 "$work/url")
first=50147164
for rows in 1000 100000 1000000; do
    ids=$((rows * 5 / 4 + 100)) # about one ID in five has no profile
    for mode in file pipe; do
        out=(--output "$work/out.csv")
        [ $mode = pipe ] && out=()
        /usr/bin/time -v -o "$work/time" "$cli" --base-url "$url" --start $first \
            --end $((first + ids - 1)) --pause 0 --parallel 2 --quiet "${out[@]}" >"$work/stdout" 2>"$work/err" || true
        kept=$(grep -o 'kept [0-9]*' "$work/err" | cut -d' ' -f2)
        peak=$(awk -F': ' '/Maximum resident/ {print $2}' "$work/time")
        secs=$(awk -F': ' '/Elapsed \(wall/ {print $2}' "$work/time")
        echo "rows_kept $kept mode $mode peak_rss_mb $((peak / 1024)) wall $secs"
        rm -f "$work/out.csv"
    done
done
