#!/usr/bin/env bash
# Installs what is missing (Debian packages), then configures and builds into build/.
# Quick when nothing changed.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/need-packages.sh cmake ninja-build g++ pkg-config qt6-base-dev qt6-qpa-plugins \
    libcurl4-openssl-dev libsqlite3-dev sqlite3 fonts-noto-cjk fonts-noto-color-emoji xdg-utils openssl \
    libxlsxwriter-dev

if [ ! -f build/CMakeCache.txt ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVQ_WERROR=ON "$@"
fi
cmake --build build --parallel
