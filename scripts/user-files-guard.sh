#!/usr/bin/env bash
# Proves that the tests leave a user's own files alone. "plant" puts a file in each folder a
# test could reach if it used the home it was started with (the documents folder, the folder a
# saved list goes to, the test programs' data folders; the Wine prefix's too, when there is
# one) and notes every file under those folders; "check" fails unless all of them are still
# there, unchanged, and nothing was added; "remove" takes away the guard's own files and the
# folders it made, and nothing else (safe to call twice).
#   scripts/user-files-guard.sh plant|check|remove
set -euo pipefail
cd "$(dirname "$0")/.."
state=build/user-files-guard
data=${XDG_DATA_HOME:-$HOME/.local/share}
folders=("$HOME/Documents" "$HOME/Documents/VqLirra" "$data/vqlirra")
for t in tests/tst_*.cpp; do folders+=("$data/$(basename "$t" .cpp)"); done
wine_user="build-windows/wine/drive_c/users/$(id -un)"
if [ -d "$wine_user" ] && [ ! -L "$wine_user/Documents" ]; then
    folders+=("$wine_user/Documents" "$wine_user/Documents/VqLirra" "$wine_user/AppData/Roaming/tst_journal")
fi

manifest() {
    for f in "${folders[@]}"; do if [ -d "$f" ]; then find -L "$f" -type f -print0; fi; done |
        sort -zu | xargs -0 -r sha256sum
    # Nothing new in the home's data and settings folders either (Wine's menu entries, say).
    for f in "$data" "${XDG_CONFIG_HOME:-$HOME/.config}"; do
        if [ -d "$f" ]; then find "$f" -mindepth 1 -maxdepth 1 | sort; fi
    done
}

case "${1:-}" in
plant)
    mkdir -p "$state"
    : > "$state/made"
    : > "$state/planted"
    for f in "${folders[@]}"; do
        missing=$f # the folders made here are the guard's own, taken away by "remove"
        while [ ! -e "$missing" ]; do echo "$missing" >> "$state/made"; missing=$(dirname "$missing"); done
        mkdir -p "$f"
        echo "a file of the user's, $(date)" > "$f/vqlirra-guard.txt"
        echo "$f/vqlirra-guard.txt" >> "$state/planted"
    done
    manifest > "$state/before"
    ;;
check)
    manifest > "$state/after"
    if ! diff "$state/before" "$state/after" >&2; then
        echo "the tests changed, added or removed files in the user's folders (see above)" >&2
        exit 1
    fi
    ;;
remove)
    [ -f "$state/planted" ] || exit 0
    xargs -d '\n' rm -f < "$state/planted"
    sort -ru "$state/made" | xargs -d '\n' -r rmdir --ignore-fail-on-non-empty
    rm -f "$state/planted" "$state/made"
    ;;
*)
    echo "usage: $0 plant|check|remove" >&2
    exit 2
    ;;
esac
