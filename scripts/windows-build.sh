#!/usr/bin/env bash
# Cross-builds the programs and their tests for 64-bit Windows into build-windows/, with
# Debian's MinGW-w64 and the Qt for Windows of ../shared/toolchains/qt6-mingw64.tar.xz, runs
# the suite under Wine on a Chinese system (code page 936), checks that the Windows build
# writes the Debian build's files byte for byte, and makes the installer and a portable zip,
# which it installs, uses and removes under Wine.
#   scripts/windows-build.sh [--make-qt]   (--make-qt builds the Qt archive when it is missing: an hour)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
toolchains=$root/../shared/toolchains
scripts/need-packages.sh g++-mingw-w64-x86-64-posix wine64 wine nsis xz-utils locales cmake ninja-build \
    qt6-base-dev qt6-base-dev-tools unzip
if ! locale -a | grep -qi '^zh_CN.utf8$'; then
    sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >> /etc/locale.gen
    locale-gen >/dev/null
fi

qt=build-windows/qt6-mingw64
if [ ! -f "$qt/lib/cmake/Qt6/Qt6Config.cmake" ]; then
    archive=$toolchains/qt6-mingw64.tar.xz
    if [ ! -f "$archive" ]; then
        if [ "${1:-}" != --make-qt ]; then
            echo "No Qt for Windows at $archive. Make it with $toolchains/build-qt6-mingw64.sh" \
                 "(about an hour), or run this script with --make-qt." >&2
            exit 1
        fi
        archive=$("$toolchains/build-qt6-mingw64.sh" /tmp/qt6-mingw64-build | tail -n 1)
    fi
    mkdir -p build-windows
    tar xf "$archive" -C build-windows
fi

# SQLite and libxlsxwriter for Windows go into the same prefix: found there, their DLLs
# beside Qt's.
if [ ! -f "$qt/bin/sqlite3.dll" ]; then
    tar xf "$toolchains/sqlite3-mingw64.tar.xz" -C "$qt" --strip-components=1
fi
if [ ! -f "$qt/bin/libxlsxwriter.dll" ]; then
    tar xf "$toolchains/xlsxwriter-mingw64.tar.xz" -C "$qt" --strip-components=1
fi

if [ ! -f build-windows/CMakeCache.txt ]; then
    cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchains/mingw64.cmake" \
        -DVQ_MINGW_PREFIX="$root/$qt" -DCMAKE_PREFIX_PATH="$root/$qt" -DCMAKE_BUILD_TYPE=Release \
        -DVQ_WERROR=ON -DCMAKE_CROSSCOMPILING_EMULATOR="$root/scripts/wine-run.sh" >/dev/null
fi
cmake --build build-windows --parallel

# The whole suite under Wine, as on a Chinese Windows system, two test programs at a time.
# Wine's Schannel cannot serve TLS, so the Debian build's demo site serves the HTTPS tests'
# certificates (those of this build's tests), one site for each.
scripts/setup.sh >/dev/null
check=$(mktemp -d)
servers=()
export WINEPREFIX=$root/build-windows/wine
trap 'kill "${servers[@]}" 2>/dev/null || true; wineserver -k 2>/dev/null || true; rm -rf "$check"' EXIT
# Wine's server and services for the whole suite, started apart from any test's output: services
# that a test's own wine started would hold its standard error open for as long as they live,
# and CTest would wait for them until that test timed out.
mkdir -p "$WINEPREFIX"
wineserver --persistent </dev/null >/dev/null 2>&1 || true
scripts/wine-run.sh wineboot </dev/null >/dev/null 2>&1 || true
VQ_TLS_SITES=""
for cert in site rogue expired elsewhere; do
    build/demo/vqlirra-demo --serve --tls "build-windows/tests/tls/$cert.pem" "build-windows/tests/tls/$cert.key" > "$check/$cert" &
    servers+=($!)
    for _ in $(seq 50); do [ -s "$check/$cert" ] && break; sleep 0.1; done
    VQ_TLS_SITES+="$cert=$(head -n 1 "$check/$cert");"
done
export VQ_TLS_SITES QT_QPA_PLATFORM=offscreen
ctest --test-dir build-windows --output-on-failure --timeout 600 --parallel 2

# The demo site (served by the Debian build) harvested by both builds: the window's saved list
# and journal, and the command line's file, byte for byte the same.
build/demo/vqlirra-demo --serve > "$check/url" &
servers+=($!)
for _ in $(seq 50); do [ -s "$check/url" ] && break; sleep 0.1; done
url=$(head -n 1 "$check/url")
mkdir -p "$check/debian" "$check/windows"
build/tests/window_launcher "$url" "$check/debian" 50147164 50147363
scripts/wine-run.sh build-windows/tests/window_launcher.exe "$url" "Z:${check//\//\\}\\windows" 50147164 50147363
build/cli/vqlirra-cli --base-url "$url" --start 50147164 --end 50147363 --pause 0 --quiet --output "$check/debian/cli.csv"
scripts/wine-run.sh build-windows/cli/vqlirra-cli.exe --base-url "$url" --start 50147164 --end 50147363 --pause 0 \
    --quiet --output "Z:${check//\//\\}\\windows\\cli.csv"
for f in $(cd "$check/debian" && ls -- *.csv); do
    cmp "$check/debian/$f" "$check/windows/$f"
    echo "same bytes on Debian and Windows: $f ($(wc -c < "$check/debian/$f") bytes)"
done
# The workbooks (the window's and one of the command line's): the same cells, byte for byte in
# the sheet (the files differ in the time they were made).
build/cli/vqlirra-cli --base-url "$url" --start 50147164 --end 50147363 --pause 0 --quiet --format xlsx \
    --output "$check/debian/cli.xlsx"
scripts/wine-run.sh build-windows/cli/vqlirra-cli.exe --base-url "$url" --start 50147164 --end 50147363 --pause 0 \
    --quiet --format xlsx --output "Z:${check//\//\\}\\windows\\cli.xlsx"
sheet() { unzip -p "$1" xl/worksheets/sheet1.xml; }
for f in $(cd "$check/debian" && ls -- *.xlsx); do
    cmp <(sheet "$check/debian/$f") <(sheet "$check/windows/$f")
    echo "the same cells on Debian and Windows: $f ($(sheet "$check/debian/$f" | grep -o '<c ' | wc -l) cells)"
done

# One history written by both builds and read by both: the Windows build records the demo
# site, the Debian build records it a week later into the same file, and each reports the
# changes, byte for byte the same.
build/demo/vqlirra-demo --serve --week 1 > "$check/url1" &
servers+=($!)
for _ in $(seq 50); do [ -s "$check/url1" ] && break; sleep 0.1; done
scripts/wine-run.sh build-windows/cli/vqlirra-cli.exe --base-url "$url" --start 50147164 --end 50147363 --pause 0 \
    --quiet --output "Z:${check//\//\\}\\windows\\week0.csv" --history "Z:${check//\//\\}\\history.sqlite"
build/cli/vqlirra-cli --base-url "$(head -n 1 "$check/url1")" --start 50147164 --end 50147363 --pause 0 --quiet \
    --output "$check/debian/week1.csv" --history "$check/history.sqlite"
build/cli/vqlirra-cli --changes --history "$check/history.sqlite" --format jsonl --output "$check/debian.jsonl"
scripts/wine-run.sh build-windows/cli/vqlirra-cli.exe --changes --history "Z:${check//\//\\}\\history.sqlite" \
    --format jsonl --output "Z:${check//\//\\}\\windows.jsonl"
cmp "$check/debian.jsonl" "$check/windows.jsonl"
echo "one history, written by both builds, read the same by both: $(wc -l < "$check/debian.jsonl") changes"
rm -f "$check"/debian/week1.csv "$check"/windows/week0.csv

# What a Windows user installs: the programs with the Qt, libcurl and MinGW DLLs and the
# plugins Qt loads, an installer made with NSIS and the same folder as a portable zip.
stage=build-windows/stage/VqLirra
rm -rf build-windows/stage && mkdir -p "$stage/platforms" "$stage/styles" "$stage/imageformats"
cp build-windows/app/vqlirra.exe build-windows/cli/vqlirra-cli.exe build-windows/demo/vqlirra-demo.exe \
    packaging/windows/vqlirra.ico "$stage/"
for dll in Qt6Core Qt6Gui Qt6Widgets Qt6Network libcurl sqlite3 libxlsxwriter libstdc++-6 libgcc_s_seh-1 libwinpthread-1; do
    cp "$qt/bin/$dll.dll" "$stage/"
done
cp "$qt/plugins/platforms/qwindows.dll" "$qt/plugins/platforms/qoffscreen.dll" "$stage/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
cp "$qt/plugins/imageformats/qico.dll" "$stage/imageformats/"
version=$(sed -n 's/^project(VqLirra VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
setup=$root/build-windows/VqLirra-$version-setup.exe
makensis -V2 -DSTAGE="$root/$stage" -DOUTFILE="$setup" -DVERSION="$version" packaging/windows/installer.nsi
(cd build-windows/stage && rm -f "../VqLirra-$version-portable.zip" &&
    cmake -E tar cf "../VqLirra-$version-portable.zip" --format=zip VqLirra)
echo "installer: $setup"
echo "portable: $root/build-windows/VqLirra-$version-portable.zip"

# The portable copy where a user keeps it, on a desktop whose path has Chinese characters and a
# space: its programs start there, and the window's saved list and Log folder go beside it.
portable="$root/build-windows/wine/drive_c/users/用户/桌面/VqLirra 辅助"
winportable='C:\users\用户\桌面\VqLirra 辅助'
rm -rf "$portable" && mkdir -p "$portable"
cp -r "$stage/." "$portable/"
cp build-windows/tests/window_launcher.exe "$portable/"
scripts/wine-run.sh "$winportable\\vqlirra-cli.exe" --base-url "$url" --start 50147164 --end 50147363 --pause 0 \
    --quiet --output "$winportable\\cli.csv"
scripts/wine-run.sh "$winportable\\window_launcher.exe" "$url" "$winportable" 50147164 50147363
for f in $(cd "$check/debian" && ls -- *.csv); do
    cmp "$check/debian/$f" "$portable/$f"
done
for f in $(cd "$check/debian" && ls -- *.xlsx | grep -v '^cli'); do
    cmp <(sheet "$check/debian/$f") <(sheet "$portable/$f")
done
[ -f "$portable/Log/journal.csv" ] || { echo "no Log folder beside the portable copy" >&2; exit 1; }
echo "the portable copy works from $winportable: the same files, its Log folder beside it"
rm -rf "$portable"

# The installer, silently under Wine: installed, used on the demo site, removed.
installed="$root/build-windows/wine/drive_c/Program Files/VqLirra"
scripts/wine-run.sh "$setup" /S
[ -f "$installed/vqlirra-cli.exe" ] || { echo "the installer put no vqlirra-cli.exe in $installed" >&2; exit 1; }
scripts/wine-run.sh "C:\\Program Files\\VqLirra\\vqlirra-cli.exe" --base-url "$url" --start 50147164 \
    --end 50147363 --pause 0 --quiet --output "Z:${check//\//\\}\\installed.csv"
cmp "$check/installed.csv" "$check/debian/cli.csv"
echo "the installed vqlirra-cli.exe harvested the demo site: $(($(grep -c $'\r$' "$check/installed.csv") - 2)) rows"
scripts/wine-run.sh "C:\\Program Files\\VqLirra\\uninstall.exe" /S
# The uninstaller runs on from a copy of itself after wine returns: wait for it, 60 s at most.
for _ in $(seq 600); do [ -z "$(find "$installed" -type f 2>/dev/null)" ] && break; sleep 0.1; done
left=$(find "$installed" -type f 2>/dev/null || true)
[ -z "$left" ] || { echo "left behind after uninstalling: $left" >&2; exit 1; }
echo "uninstalled: nothing of it is left"
