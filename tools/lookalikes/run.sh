#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Hand check: what `modgate --install` does with look-alikes of real public downloads.
#   tools/lookalikes/run.sh BUILD-DIR
# Builds modgate and modgate-lookalikes in BUILD-DIR, writes the look-alikes into a scratch
# folder with a made-up dedicated server's game folder and a private home, and for each file
# prints the dry run's exit code and plan; where the dry run succeeds it installs for real and
# removes the install again; then it says whether the game folder is as it was.
set -euo pipefail

if [ $# -ne 1 ]; then
    echo "usage: $0 BUILD-DIR" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
cmake --build "$build" --target modgate modgate-lookalikes --parallel 2 >/dev/null
modgate=$build/modgate
lookalikes=$build/tools/lookalikes/modgate-lookalikes

scratch=$(mktemp -d "${TMPDIR:-/tmp}/modgate-lookalikes-XXXXXX")
trap 'rm -rf "$scratch"' EXIT

# A dedicated server's folder, with the folders a real copy has.
game=$scratch/game
for folder in System Maps Textures Sounds Music StaticMeshes Animations KarmaData Help Speech Web; do
    mkdir -p "$game/$folder"
done
: >"$game/System/ucc-bin"
printf '[Setup]\r\nMasterProduct=UT2004\r\nGroup=UT2004\r\n\r\n[UT2004]\r\nVersion=3369\r\n' \
    >"$game/System/Manifest.ini"
printf '[Engine.GameEngine]\r\nServerPackages=Core\r\n' >"$game/System/UT2004.ini"
printf 'Made-up stock map\r\n' >"$game/Maps/DM-Stock.ut2"

home=$scratch/home
mkdir -p "$home"
chmod 700 "$home"
export HOME=$home XDG_DATA_HOME=$home/.local/share XDG_CONFIG_HOME=$home/.config \
    XDG_CACHE_HOME=$home/.cache XDG_RUNTIME_DIR=$home QT_QPA_PLATFORM=offscreen
unset DISPLAY WAYLAND_DISPLAY

"$lookalikes" "$scratch/downloads" >/dev/null

listing() { (cd "$game" && find . -mindepth 1 | LC_ALL=C sort); }
before=$(listing)

indent() { sed 's/^/    /'; }

for download in "$scratch"/downloads/*; do
    name=$(basename "$download")
    echo "## $name"
    status=0
    output=$("$modgate" --install "$download" --game "$game" --dry-run 2>&1) || status=$?
    echo "dry run: exit $status"
    printf '%s\n' "$output" | sed "s|$game|GAME|g; s|$scratch/downloads/||g" | indent
    if [ "$status" -eq 0 ]; then
        status=0
        output=$("$modgate" --install "$download" --game "$game" 2>&1) || status=$?
        echo "install: exit $status"
        printf '%s\n' "$output" | sed "s|$game|GAME|g" | grep -v '^Installing \|^[^ ]*/' | indent
        installed=$(printf '%s\n' "$output" | sed -n 's/^Installed \(.*\): [0-9]* file(s)$/\1/p')
        if [ -n "$installed" ]; then
            status=0
            output=$("$modgate" --remove "$installed" --game "$game" 2>&1) || status=$?
            echo "remove \"$installed\": exit $status"
            printf '%s\n' "$output" | sed "s|$game|GAME|g" | indent
        fi
    fi
    if [ "$(listing)" = "$before" ]; then
        echo "game folder afterwards: as before"
    else
        echo "game folder afterwards: differs"
        diff <(echo "$before") <(listing) | indent || true
    fi
    echo
done
