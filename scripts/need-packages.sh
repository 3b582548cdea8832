#!/usr/bin/env bash
# Installs those of the named Debian packages that are missing (as root, or through sudo).
#   scripts/need-packages.sh [--no-services] PACKAGE...
# --no-services: a service that a package brings (nginx's web server on port 80) is neither
# started nor enabled at boot; the tests run such programs themselves, on loopback only.
set -euo pipefail
quiet=no
[ "${1:-}" = --no-services ] && { quiet=yes; shift; }
missing=()
for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
((${#missing[@]})) || exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
policy=/usr/sbin/policy-rc.d
own_policy=no
if [ $quiet = yes ] && [ ! -e $policy ]; then
    # Debian's maintainer scripts start no service while this answers 101.
    printf '#!/bin/sh\nexit 101\n' | $sudo tee $policy >/dev/null
    $sudo chmod 755 $policy
    own_policy=yes
fi
trap '[ $own_policy = no ] || $sudo rm -f $policy' EXIT
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
if [ $quiet = yes ]; then
    for p in "${missing[@]}"; do
        for unit in $(dpkg -L "$p" 2>/dev/null | sed -n 's|^/lib/systemd/system/\([^/@]*\.service\)$|\1|p'); do
            command -v systemctl >/dev/null && $sudo systemctl disable --now "$unit" >/dev/null 2>&1 || true
        done
        for script in $(dpkg -L "$p" 2>/dev/null | sed -n 's|^/etc/init.d/||p'); do
            command -v update-rc.d >/dev/null && $sudo update-rc.d "$script" disable >/dev/null 2>&1 || true
        done
    done
fi
