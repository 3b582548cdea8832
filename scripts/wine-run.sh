#!/usr/bin/env bash
# Runs a Windows program of build-windows/ under Wine, as on a Chinese Windows system: the
# system code page 936, the Qt and MinGW DLLs on the path, a Wine prefix of the build's own.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$root/build-windows/wine}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko downloads, and no menu entries or file types written into the Unix home.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
export WINEPATH="Z:${root//\//\\}\\build-windows\\qt6-mingw64\\bin"
# Wine hands no QT_ variable to Windows programs, only WINEQT_ ones under the QT_ name.
export WINEQT_PLUGIN_PATH="Z:${root//\//\\}\\build-windows\\qt6-mingw64\\plugins"
[ -z "${QT_QPA_PLATFORM:-}" ] || export WINEQT_QPA_PLATFORM=$QT_QPA_PLATFORM
[ -z "${QT_LOGGING_RULES:-}" ] || export WINEQT_LOGGING_RULES=$QT_LOGGING_RULES
# A new prefix links the Windows user's Documents, Desktop and the like to the Unix home: they
# are made folders of the prefix's own, before any program runs, so that no Windows program
# started here reaches the user's own files. One caller at a time sets the prefix up.
mkdir -p "$WINEPREFIX"
(
    flock 9
    # Without the lock: the services wine starts here would hold it for as long as they live.
    [ -d "$WINEPREFIX/drive_c/users" ] || wine wineboot --init >/dev/null 2>&1 9>&- || true
    for folder in "$WINEPREFIX"/drive_c/users/*/{Desktop,Documents,Downloads,Music,Pictures,Videos,Templates}; do
        if [ -L "$folder" ]; then rm "$folder" && mkdir "$folder"; fi
    done
) 9> "$WINEPREFIX/.setup-lock"
# A test's report goes to a file that is printed after: QtTest under Wine writes nothing to
# a pipe.
case "$(basename "$1")" in
tst_*.exe)
    report=$(mktemp)
    status=0
    wine "$@" -o "Z:${report//\//\\},txt" || status=$?
    cat "$report"
    rm -f "$report"
    exit "$status"
    ;;
esac
exec wine "$@"
