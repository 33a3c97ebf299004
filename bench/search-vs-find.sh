#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times the mod search against `find -iname ut2k4mod.ini` over synthetic trees, side by side in
# one run on a warm cache. Usage: bench/search-vs-find.sh [build dir] [entries...]
# Default: build, 100000 and 1000000 entries (the large tree takes about a minute to generate).
set -euo pipefail
build=${1:-build}
shift || true
sizes=("$@")
((${#sizes[@]})) || sizes=(100000 1000000)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

best_of() { # best wall time in ms of 5 runs of a command
    local best=999999999 start end ms
    for _ in 1 2 3 4 5; do
        start=$(date +%s%N)
        "$@" >/dev/null
        end=$(date +%s%N)
        ms=$(((end - start) / 1000000))
        ((ms < best)) && best=$ms
    done
    echo "$best"
}

for entries in "${sizes[@]}"; do
    tree=$work/tree-$entries
    "$build/tools/sampleinstallation/modgate-sample-installation" --tree "$tree" \
        --entries "$entries" --mods $((entries / 100)) >/dev/null
    find "$tree" >/dev/null # warm the cache
    search=$(best_of "$build/bench/bench_modsearch" "$tree" 1)
    finder=$(best_of find "$tree" -iname ut2k4mod.ini)
    found=$("$build/bench/bench_modsearch" "$tree" 1 | head -n 1)
    echo "$entries entries: search ${search} ms (${found}), find ${finder} ms," \
        "ratio $(awk -v a="$search" -v b="$finder" 'BEGIN { printf "%.2f", a / b }')," \
        "$(awk -v a="$search" -v n="$entries" 'BEGIN { printf "%.2f", a * 1000 / n }') us per entry"
    rm -rf "$tree"
done
