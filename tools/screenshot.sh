#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes a screenshot of the launcher window showing the sample mods, on a private X server.
# Usage: tools/screenshot.sh [BUILD_DIR] [OUTPUT_PNG]   (defaults: build, docs/screenshot.png)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
output=$(realpath -m "${2:-docs/screenshot.png}")

for tool in Xvfb xdotool import; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "screenshot: $tool is missing (apt-get install xvfb xdotool imagemagick)" >&2
        exit 1
    fi
done
for binary in modgate tools/samplegame/modgate-sample-game \
    tools/sampleinstallation/modgate-sample-installation; do
    [ -x "$build/$binary" ] || { echo "screenshot: $build/$binary is not built" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/modgate-screenshot-XXXXXX")
xvfb_pid=
app_pid=
cleanup() {
    [ -z "$app_pid" ] || kill "$app_pid" 2>/dev/null || true
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

"$build/tools/sampleinstallation/modgate-sample-installation" \
    --game "$build/tools/samplegame/modgate-sample-game" --out "$work/sample" >/dev/null
home=$work/sample/home

# Xvfb picks a free display and writes its number to the pipe.
exec {display_fd}<> <(:)
Xvfb -displayfd "$display_fd" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
read -r -t 30 -u "$display_fd" number || { cat "$work/xvfb.log"; echo "screenshot: no Xvfb" >&2; exit 1; }
exec {display_fd}>&-
export DISPLAY=:$number

env -u SESSION_MANAGER HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$work" \
    QT_QPA_PLATFORM=xcb "$build/modgate" >"$work/modgate.log" 2>&1 &
app_pid=$!

window=
for _ in $(seq 300); do
    window=$(xdotool search --onlyvisible --name '^Modgate$' 2>/dev/null | head -n 1) || true
    [ -n "$window" ] && break
    kill -0 "$app_pid" 2>/dev/null || { cat "$work/modgate.log"; echo "screenshot: modgate ended" >&2; exit 1; }
    sleep 0.1
done
[ -n "$window" ] || { echo "screenshot: the window did not appear" >&2; exit 1; }

# The search over the sample is over in a moment; then pick the example mod by typing its name,
# as a user would, so that its logo and description show below.
sleep 2
xdotool windowfocus --sync "$window" 2>/dev/null || true
xdotool type --delay 50 "Example"
sleep 0.5
sleep 1

mkdir -p "$(dirname "$output")"
import -window "$window" "$output"
echo "screenshot: $output"
