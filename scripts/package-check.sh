#!/usr/bin/env bash
# Builds the package and proves it: the desktop entry and metainfo validate, it installs with
# apt-get, the installed programs harvest the demo site as an ordinary user, and removing it
# leaves none of its files behind. Needs root (apt-get, a test user).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/need-packages.sh desktop-file-utils appstream
desktop-file-validate --no-hints packaging/org.vqlirra.vqlirra.desktop
appstreamcli validate --no-net --pedantic packaging/org.vqlirra.vqlirra.metainfo.xml >/dev/null

deb=$(scripts/package.sh | tail -n 1)
echo "package: $deb"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
files=$(dpkg -L vqlirra | while read -r f; do [ -f "$f" ] && echo "$f"; done)

# A user of the check's own: made here and removed with its home at the end; where it is
# left from an earlier run, only the files this run writes are removed.
user=vqlirra-check
made_user=false
id "$user" >/dev/null 2>&1 || { useradd --create-home --shell /bin/sh "$user"; made_user=true; }
home=$(getent passwd "$user" | cut -d: -f6)
cleanup() {
    if $made_user; then userdel -r "$user" 2>/dev/null || true
    else rm -f "$home/demo-url" "$home/demo-pid" "$home/demo.csv"; fi
}
trap cleanup EXIT
as_user() { runuser -u "$user" -- env HOME="$home" "$@"; }

as_user vqlirra-cli --version
as_user sh -c 'vqlirra-demo --serve > "$HOME/demo-url" & echo $! > "$HOME/demo-pid"'
for _ in $(seq 50); do [ -s "$home/demo-url" ] && break; sleep 0.1; done
url=$(head -n 1 "$home/demo-url")
status=0
as_user vqlirra-cli --base-url "$url" --start 50147164 --end 50147183 --pause 0 --quiet \
    --output "$home/demo.csv" || status=$?
kill "$(cat "$home/demo-pid")" 2>/dev/null || true
[ "$status" -eq 0 ] || { echo "the installed vqlirra-cli exited with $status" >&2; exit 1; }
rows=$(($(grep -c $'\r$' "$home/demo.csv") - 2))
echo "installed programs harvested the demo site as $user: $rows rows in $home/demo.csv"
[ "$rows" -gt 0 ]

DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq vqlirra >/dev/null
left=$(for f in $files; do [ -e "$f" ] && echo "$f"; done || true)
[ -z "$left" ] || { echo "left behind after removal: $left" >&2; exit 1; }
echo "removed: none of its $(echo "$files" | wc -l) files is left"
