#!/usr/bin/env bash
# Builds the Debian package (Release, installed under /usr) into build-package/ and prints
# the package's path as its last line.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh >/dev/null
scripts/need-packages.sh dpkg-dev file
if [ ! -f build-package/CMakeCache.txt ]; then
    cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
        -DCMAKE_INSTALL_PREFIX=/usr -DVQ_WERROR=ON \
        -DCMAKE_CXX_FLAGS="-D_FORTIFY_SOURCE=2 -fstack-protector-strong" \
        -DCMAKE_EXE_LINKER_FLAGS="-Wl,-z,relro,-z,now" >/dev/null
fi
cmake --build build-package --parallel >/dev/null
rm -f build-package/vqlirra_*.deb
(cd build-package && cpack -G DEB >/dev/null)
ls "$PWD"/build-package/vqlirra_*.deb
