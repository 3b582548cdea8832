#!/usr/bin/env bash
# Makes the certificates of the HTTPS tests in the folder given: an authority made for the test
# runs only (ca.pem), a site it vouches for at 127.0.0.1 (site), the same expired (expired),
# one it vouches for under another name (elsewhere), and one that vouches for itself (rogue).
# Each with its key.
set -euo pipefail
out=$1
mkdir -p "$out"
cd "$out"
days=3650
quiet() { "$@" 2>/dev/null >/dev/null; }
quiet openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days $days \
    -subj "/CN=VqLirra test authority" -addext "basicConstraints=critical,CA:TRUE" \
    -addext "keyUsage=critical,keyCertSign,cRLSign"
signed() { # name, subjectAltName[, days]
    quiet openssl req -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -subj "/CN=$1"
    printf 'subjectAltName=%s\nbasicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature,keyEncipherment\nextendedKeyUsage=serverAuth\n' \
        "$2" > "$1.ext"
    quiet openssl x509 -req -in "$1.csr" -CA ca.pem -CAkey ca.key -CAcreateserial -out "$1.pem" -days "${3:-$days}" -extfile "$1.ext"
    rm -f "$1.csr" "$1.ext"
}
# (127.0.0.1 as a DNS name too: Schannel's host check in libcurl reads only DNS names)
signed site "IP:127.0.0.1,DNS:127.0.0.1,DNS:localhost"
signed expired "IP:127.0.0.1,DNS:127.0.0.1,DNS:localhost" 0 # ends as it begins
signed elsewhere "DNS:elsewhere.invalid"
quiet openssl req -x509 -newkey rsa:2048 -nodes -keyout rogue.key -out rogue.pem -days $days \
    -subj "/CN=127.0.0.1" -addext "subjectAltName=IP:127.0.0.1"
