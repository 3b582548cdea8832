#!/usr/bin/env bash
# A site 100 ms away that stops answering (connections refused) for a while in the middle of a
# harvest, as a router or a deploy does: vqlirra-cli --parallel 8 --pause 0 over 400 IDs, the site
# killed 2 s in and served again OUTAGE seconds later, all on 127.0.0.1. Reports the seconds, the
# exit code, the IDs counted as failed and whether FILE equals an uninterrupted run's.
#   bench/outage.sh [BUILD_DIR] [OUTAGE_SECONDS] [PATIENCE_MINUTES]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
outage=${2:-30}
patience=${3:-30}
work=$(mktemp -d)
port=$((20000 + RANDOM % 20000))
serve() { QT_QPA_PLATFORM=offscreen "$build/demo/vqlirra-demo" --serve --port "$port" --delay 100 > /dev/null & demo=$!; sleep 0.5; }
trap 'kill "$demo" 2>/dev/null || true; rm -rf "$work"' EXIT
harvest() { "$build/cli/vqlirra-cli" --base-url "http://127.0.0.1:$port/u/" --start 50147164 --end 50147563 \
    --parallel 8 --pause 0 --quiet --patience "$patience" --output "$1"; }
serve
harvest "$work/whole.csv" 2> /dev/null || true
start=$(date +%s.%N)
( code=0; harvest "$work/cut.csv" 2> "$work/err" || code=$?; echo "$code" > "$work/code"; date +%s.%N > "$work/end" ) & cli=$!
sleep 2
kill "$demo"; wait "$demo" 2>/dev/null || true
sleep "$outage"
serve
wait "$cli"
code=$(cat "$work/code") end=$(cat "$work/end")
same=no; cmp -s "$work/whole.csv" "$work/cut.csv" && same=yes
printf 'outage %s s: %.1f s, exit %s, failed IDs %s, file equals an uninterrupted run: %s\n' "$outage" \
    "$(echo "$end - $start" | bc)" "$code" "$(cat "$work/cut.csv.failed" 2>/dev/null | wc -l)" "$same"
sed 's/^/  stderr: /' "$work/err"
