#!/usr/bin/env bash
# vqlirra-cli against nginx's own rate limit (limit_req, refusals 429 or 503 without a
# Retry-After) in front of the demo site served 100 ms away, all on 127.0.0.1: seconds, share
# of the limit used ((IDs - burst) / rate over the time taken), requests refused, rows.
#   bench/nginx_limit.sh [BUILD_DIR] [IDS]     (needs nginx; installs nginx-light when missing)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
ids=${2:-400}
scripts/need-packages.sh nginx-light >/dev/null
work=$(mktemp -d)
trap 'kill "$demo" 2>/dev/null || true; [ -f "$work/nginx.pid" ] && kill "$(cat "$work/nginx.pid")" 2>/dev/null; rm -rf "$work"' EXIT
QT_QPA_PLATFORM=offscreen "$build/demo/vqlirra-demo" --serve --delay 100 > "$work/url" &
demo=$!
for _ in $(seq 50); do [ -s "$work/url" ] && break; sleep 0.1; done
upstream=$(head -n 1 "$work/url" | sed -E 's#^http://([^/]+)/.*#\1#')
first=50147164
last=$((first + ids - 1))
for limit in "20 10" "50 20"; do
    set -- $limit
    rate=$1 burst=$2
    for status in 429 503; do
        for parallel in 8 16; do
            cat > "$work/nginx.conf" <<CONF
worker_processes 1;
pid $work/nginx.pid;
error_log $work/error.log;
events { worker_connections 256; }
http {
    access_log $work/access.log;
    limit_req_zone \$binary_remote_addr zone=site:1m rate=${rate}r/s;
    server {
        listen 127.0.0.1:18480;
        location / {
            limit_req zone=site burst=$burst nodelay;
            limit_req_status $status;
            proxy_pass http://$upstream;
            proxy_http_version 1.1;
            proxy_set_header Connection "";
        }
    }
}
CONF
            : > "$work/access.log"
            nginx -c "$work/nginx.conf" -p "$work"
            sleep 0.5
            start=$(date +%s.%N)
            "$build/cli/vqlirra-cli" --base-url http://127.0.0.1:18480/u/ --start $first --end $last --pause 0 \
                --parallel "$parallel" --quiet --output "$work/out.csv" 2> "$work/err" || true
            end=$(date +%s.%N)
            kill "$(cat "$work/nginx.pid")"
            sleep 0.5
            refused=$(awk -v s="$status" '$9 == s' "$work/access.log" | wc -l)
            requests=$(wc -l < "$work/access.log")
            rows=$(($(grep -c $'\r$' "$work/out.csv") - 2))
            awk -v r="$rate" -v b="$burst" -v st="$status" -v n="$parallel" -v a="$start" -v e="$end" -v ids="$ids" \
                -v ref="$refused" -v req="$requests" -v rows="$rows" 'BEGIN {
                    t = e - a; printf "nginx limit %d/s burst %d refusal %d parallel %d seconds %.1f share_of_limit %.3f refused %d (%.1f%%) rows %d\n",
                    r, b, st, n, t, (ids - b) / r / t, ref, 100 * ref / req, rows }'
            rm -f "$work/out.csv" "$work/out.csv.failed"
        done
    done
done
