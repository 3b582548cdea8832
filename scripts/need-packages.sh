#!/usr/bin/env bash
# Installs those of the named Debian packages that are missing (as root, or through sudo).
#   scripts/need-packages.sh PACKAGE...
# No service of a package it installs, the named ones and every dependency alike (nginx's web
# server on port 80, a message bus), is started or enabled at boot: the tests run such
# programs themselves, on loopback only. Packages the machine had before are left as they were.
set -euo pipefail
[ "${1:-}" = --no-services ] && shift # the only way it works now; kept for older callers
missing=()
for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
((${#missing[@]})) || exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
installed() { dpkg-query -W -f='${Package} ${Status}\n' 2>/dev/null | awk '$NF == "installed" { print $1 }' | sort; }
before=$(installed)
policy=/usr/sbin/policy-rc.d
own_policy=no
if [ ! -e $policy ]; then
    # Debian's maintainer scripts start no service while this answers 101.
    printf '#!/bin/sh\nexit 101\n' | $sudo tee $policy >/dev/null
    $sudo chmod 755 $policy
    own_policy=yes
fi
trap '[ $own_policy = no ] || $sudo rm -f $policy' EXIT
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
# What the installation brought, dependencies included: none of its services starts at boot.
for p in $(comm -13 <(echo "$before") <(installed)); do
    for unit in $(dpkg -L "$p" 2>/dev/null | sed -n 's|^/\(usr/\)\{0,1\}lib/systemd/system/\([^/@]*\.\(service\|socket\|timer\)\)$|\2|p'); do
        if command -v deb-systemd-helper >/dev/null; then
            $sudo deb-systemd-helper disable "$unit" >/dev/null 2>&1 || true
        fi
        if [ -d /run/systemd/system ] && command -v systemctl >/dev/null; then
            $sudo systemctl disable --now "$unit" >/dev/null 2>&1 || true
        fi
    done
    for script in $(dpkg -L "$p" 2>/dev/null | sed -n 's|^/etc/init.d/||p'); do
        command -v update-rc.d >/dev/null && $sudo update-rc.d "$script" disable >/dev/null 2>&1 || true
    done
done
