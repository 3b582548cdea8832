#!/usr/bin/env bash
# Harvest rate against curl: 2,000 generated profile pages served by nginx on 127.0.0.1,
# harvested (a) by the real window offscreen and under Xvfb, (b) by the curl command over one
# kept-alive connection and (c) by a bare libcurl loop (the practical limit), side by side,
# RUNS times each; prints medians and ratios.
# Also measures the CPU share of a run that waits (25 IDs, pause 200 ms).
set -euo pipefail
cd "$(dirname "$0")/.."
RUNS=${RUNS:-3}
FIRST=50100000
COUNT=2000
LAST=$((FIRST + COUNT - 1))
B=${B:-build-bench/bench} # another build's benchmarks, to compare
OUT=$(mktemp -d)
trap 'nginx -c "$OUT/nginx.conf" -p "$OUT" -s stop 2>/dev/null || true; kill "${XVFB:-0}" 2>/dev/null || true; rm -rf "$OUT"' EXIT

build-bench/demo/vqlirra-pages "$OUT/site" "$FIRST" "$COUNT"
# A site's not-found page is a full page too: 40 KB without a profile, for a sparse range.
python3 - "$OUT/site/gone.html" <<'PY'
import sys
row = '<div class="work-item"><a href="/play/%d" title="晴天"><span class="work-title">稻香 后来</span></a></div>\n'
page = '<!DOCTYPE html><html><head><meta charset="utf-8"><title>用户不存在</title></head><body>'
n = 0
while len(page.encode()) < 40000:
    page += row % n
    n += 1
open(sys.argv[1], 'w').write(page + '<h1>用户不存在</h1></body></html>')
PY
PORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
mkdir -p "$OUT/logs"
cat > "$OUT/nginx.conf" <<CONF
worker_processes 1;
error_log $OUT/logs/error.log;
pid $OUT/nginx.pid;
events { worker_connections 64; }
http {
    access_log off;
    default_type text/html;
    keepalive_requests 1000000;
    keepalive_timeout 60s;
    sendfile on;
    server { listen 127.0.0.1:$PORT; root $OUT/site; error_page 404 /gone.html; }
}
CONF
chmod -R a+rX "$OUT" # nginx's workers read the pages as another user
# With two processors or more, nginx has the first and the programs measured the second: left
# to the scheduler, nginx sometimes runs beside the client and sometimes not, which moves a
# pipelined client's figures more than anything in the client does.
PIN_SERVER=() PIN_CLIENT=()
if [ "$(nproc)" -ge 2 ] && command -v taskset >/dev/null; then PIN_SERVER=(taskset -c 0) PIN_CLIENT=(taskset -c 1); fi
"${PIN_SERVER[@]}" nginx -c "$OUT/nginx.conf" -p "$OUT"
BASE="http://127.0.0.1:$PORT/u/"
[ "$(curl -s -o /dev/null -w '%{http_code}' "$BASE$FIRST")" = 200 ] || { echo "nginx does not serve the pages" >&2; exit 1; }

: > "$OUT/curl.cfg"
for ((id = FIRST; id <= LAST; id++)); do printf 'url = "%s%d"\noutput = "/dev/null"\n' "$BASE" "$id" >> "$OUT/curl.cfg"; done

Xvfb :93 -screen 0 1280x800x24 >/dev/null 2>&1 &
XVFB=$!
sleep 1

median() { sort -g | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
field() { sed -n "s/.* $1 \([^ ]*\).*/\1/p"; }

for ((r = 1; r <= RUNS; r++)); do
    t0=$(date +%s%N)
    "${PIN_CLIENT[@]}" curl -s -K "$OUT/curl.cfg"
    t1=$(date +%s%N)
    echo "$COUNT $t0 $t1" | awk '{print $1 / (($3 - $2) / 1e9)}' >> "$OUT/curl.rates"
    "${PIN_CLIENT[@]}" "$B/bare_loop" "$BASE" "$FIRST" "$LAST" | tee -a "$OUT/bare.txt"
    QT_QPA_PLATFORM=offscreen "${PIN_CLIENT[@]}" "$B/bench_harvest" "$BASE" "$FIRST" "$LAST" | tee -a "$OUT/offscreen.txt"
    DISPLAY=:93 QT_QPA_PLATFORM=xcb "${PIN_CLIENT[@]}" "$B/bench_harvest" "$BASE" "$FIRST" "$LAST" | tee -a "$OUT/xvfb.txt"
done
curl_rate=$(median < "$OUT/curl.rates")
bare_rate=$(field ids_per_sec < "$OUT/bare.txt" | median)
off_rate=$(field ids_per_sec < "$OUT/offscreen.txt" | median)
x_rate=$(field ids_per_sec < "$OUT/xvfb.txt" | median)
echo "median IDs/s over $RUNS runs: bare libcurl loop $bare_rate, curl $curl_rate, harvester offscreen $off_rate, harvester under Xvfb $x_rate"
awk -v c="$curl_rate" -v o="$off_rate" -v x="$x_rate" 'BEGIN {printf "ratio to curl: offscreen %.2f, Xvfb %.2f\n", o / c, x / c}'
awk -v b="$bare_rate" -v o="$off_rate" -v x="$x_rate" 'BEGIN {printf "ratio to the bare libcurl loop: offscreen %.2f, Xvfb %.2f (target 0.80)\n", o / b, x / b}'

# A sparse range: 2,000 IDs without a profile, each answered with the 40 KB not-found page.
for ((r = 1; r <= RUNS; r++)); do
    "${PIN_CLIENT[@]}" "$B/bare_loop" "$BASE" 1000 2999 >> "$OUT/sparse-bare.txt" || true
    # (the rows cannot match the generator here: the site has none of these profiles)
    QT_QPA_PLATFORM=offscreen "${PIN_CLIENT[@]}" "$B/bench_harvest" "$BASE" 1000 2999 >> "$OUT/sparse.txt" || true
done
sparse_bare=$(field ids_per_sec < "$OUT/sparse-bare.txt" | median)
sparse=$(field ids_per_sec < "$OUT/sparse.txt" | median)
awk -v b="$sparse_bare" -v o="$sparse" 'BEGIN {printf "ratio to the bare libcurl loop on a sparse range: offscreen %.2f (%.0f against %.0f IDs/s)\n", o / b, o, b}'

for ((r = 1; r <= RUNS; r++)); do
    QT_QPA_PLATFORM=offscreen "${PIN_CLIENT[@]}" "$B/bench_harvest" "$BASE" "$FIRST" "$((FIRST + 24))" 200 >> "$OUT/wait.txt"
done
echo "CPU over wall while waiting (25 IDs, pause 200 ms), median: $(field cpu_over_wall < "$OUT/wait.txt" | median) (target 0.02)"
