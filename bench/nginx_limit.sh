#!/usr/bin/env bash
# vqlirra-cli against nginx's own rate limit (limit_req, refusals 429 or 503 without a
# Retry-After) in front of the demo site served 100 ms away, all on 127.0.0.1: seconds, share
# of the limit used ((IDs - burst) / rate over the time taken), requests refused, and
# whether the rows are exactly those of an unlimited run. Each case harvests the site twice on
# one history: a first harvest of a site the run does not know, then one from the pace it kept.
#   bench/nginx_limit.sh [BUILD_DIR] [IDS] [ABSENT]
# ABSENT=200: the site's "no such profile" page is served with status 200, as many real sites
# do (the demo site's 404 page replaced by nginx). CASES overrides the cases, each
# RATE:BURST:STATUS:PARALLEL; RUNS repeats each (default 1); KEEP=DIR keeps each access log there.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
ids=${2:-400}
absent=${3:-404}
runs=${RUNS:-1}
cases=${CASES:-"20:10:429:8 20:10:503:16 35:5:503:16 35:5:429:8 50:20:429:8 50:20:503:16 12:3:429:4 80:40:503:16"}
scripts/need-packages.sh nginx-light >/dev/null
work=$(mktemp -d)
trap 'kill "$demo" 2>/dev/null || true; [ -f "$work/nginx.pid" ] && kill "$(cat "$work/nginx.pid")" 2>/dev/null; rm -rf "$work"' EXIT
QT_QPA_PLATFORM=offscreen "$build/demo/vqlirra-demo" --serve --delay 100 > "$work/url" &
demo=$!
for _ in $(seq 50); do [ -s "$work/url" ] && break; sleep 0.1; done
upstream=$(head -n 1 "$work/url" | sed -E 's#^http://([^/]+)/.*#\1#')
mkdir -p "$work/site"
printf '<!DOCTYPE html><html><head><meta charset="utf-8"><title>用户不存在</title></head><body>该用户不存在</body></html>' \
    > "$work/site/gone.html"
chmod -R a+rX "$work"
first=50147164
last=$((first + ids - 1))
port=18480

# nginx in front of the demo site: $1 rate, $2 burst, $3 refusal status (rate 0: no limit).
serve() {
    local limit="" absence=""
    [ "$1" -gt 0 ] && limit="limit_req zone=site burst=$2 nodelay; limit_req_status $3;"
    [ "$absent" = 200 ] && absence="proxy_intercept_errors on; error_page 404 =200 /gone.html;"
    cat > "$work/nginx.conf" <<CONF
worker_processes 1;
pid $work/nginx.pid;
error_log $work/error.log;
events { worker_connections 256; }
http {
    log_format timed '\$remote_addr - - [\$time_local] "\$request" \$status \$body_bytes_sent \$msec \$request_time';
    access_log $work/access.log timed;
    limit_req_zone \$binary_remote_addr zone=site:1m rate=$(( $1 > 0 ? $1 : 1 ))r/s;
    server {
        listen 127.0.0.1:$port;
        location / {
            $limit
            $absence
            proxy_pass http://$upstream;
            proxy_http_version 1.1;
            proxy_set_header Connection "";
        }
        location = /gone.html { internal; root $work/site; }
    }
}
CONF
    : > "$work/access.log"
    nginx -c "$work/nginx.conf" -p "$work"
    sleep 0.5
}

harvest() { # $1 parallel, $2 output, $3 history (optional); seconds taken in $work/seconds
    local from to
    from=$(date +%s.%N)
    "$build/cli/vqlirra-cli" --base-url "http://127.0.0.1:$port/u/" --start $first --end $last --pause 0 \
        --parallel "$1" ${QUIET---quiet} --output "$2" ${3:+--history "$3"} 2> "$work/err" || true
    to=$(date +%s.%N)
    awk -v a="$from" -v b="$to" 'BEGIN { print b - a }' > "$work/seconds"
    if [ -n "${KEEP:-}" ]; then cp "$work/err" "$KEEP/err-$(date +%s%N)"; fi
    kill "$(cat "$work/nginx.pid")"
    sleep 0.5
}

serve 0 0 0
harvest 8 "$work/expected.csv"
for c in $cases; do
    IFS=: read -r rate burst status parallel <<< "$c"
    for ((r = 1; r <= runs; r++)); do
        rm -f "$work/history.sqlite"*
        for harvest in first second; do
            serve "$rate" "$burst" "$status"
            harvest "$parallel" "$work/out.csv" "$work/history.sqlite"
            refused=$(awk -v s="$status" '$9 == s' "$work/access.log" | wc -l)
            requests=$(wc -l < "$work/access.log")
            exact=no
            cmp -s "$work/out.csv" "$work/expected.csv" && exact=yes
            awk -v r="$rate" -v b="$burst" -v st="$status" -v n="$parallel" -v t="$(cat "$work/seconds")" -v ids="$ids" \
                -v ref="$refused" -v req="$requests" -v ex="$exact" -v ab="$absent" -v h="$harvest" 'BEGIN {
                    printf "nginx limit %d/s burst %d refusal %d parallel %d absent %s %s harvest seconds %.1f share_of_limit %.3f requests %d refused %d (%.1f%%) rows_exact %s\n",
                    r, b, st, n, ab, h, t, (ids - b) / r / t, req, ref, 100 * ref / req, ex }'
            [ -n "${KEEP:-}" ] && cp "$work/access.log" "$KEEP/access-$rate-$burst-$status-$parallel-$r-$harvest.log"
            rm -f "$work/out.csv" "$work/out.csv.failed"
        done
    done
done
