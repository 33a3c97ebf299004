#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop needs from it: a valid
# .desktop file, the icon, and a binary that starts.
# Usage: desktop_install.sh BUILD_DIR
set -euo pipefail
build=$(realpath "$1")

for tool in desktop-file-validate cmake; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "desktop: $tool is missing (./test installs desktop-file-utils)" >&2
        exit 1
    fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/modgate-install-XXXXXX")
app_pid=
cleanup() {
    if [ -n "$app_pid" ] && kill -0 "$app_pid" 2>/dev/null; then kill -KILL "$app_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log"; fail "cmake --install"; }
echo "ok: installed into a temporary prefix"

desktop=$prefix/share/applications/modgate.desktop
[ -f "$desktop" ] || fail "no $desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
echo "ok: modgate.desktop validates"
grep -qx 'Exec=modgate' "$desktop" || grep -q '^Exec=modgate[ ]' "$desktop" || fail "Exec= does not start modgate"
grep -qx 'Icon=modgate' "$desktop" || fail "Icon= is not modgate"

icon=$prefix/share/icons/hicolor/scalable/apps/modgate.svg
[ -s "$icon" ] || fail "no icon at $icon"
grep -q '<svg' "$icon" || fail "$icon is not an SVG"
echo "ok: icon installed at share/icons/hicolor/scalable/apps/modgate.svg"

binary=$prefix/bin/modgate
[ -x "$binary" ] || fail "no executable at $binary"

# A user with a stored game folder (an empty one: nothing to find, no dialog to wait on).
home=$work/home
mkdir -p "$home/.config/Modgate" "$work/game"
printf '[General]\nunrealPath=%s\n' "$work/game" >"$home/.config/Modgate/Modgate.conf"
HOME=$home XDG_CONFIG_HOME=$home/.config QT_QPA_PLATFORM=offscreen \
    "$binary" >"$work/run.log" 2>&1 &
app_pid=$!
# Up for two seconds: long enough to be past start-up and the (empty) search.
for _ in $(seq 20); do
    sleep 0.1
    kill -0 "$app_pid" 2>/dev/null || break
done
if ! kill -0 "$app_pid" 2>/dev/null; then
    status=0
    wait "$app_pid" || status=$?
    cat "$work/run.log"
    fail "the installed modgate ended by itself within 2 s (exit status $status)"
fi
kill -TERM "$app_pid"
status=0
wait "$app_pid" || status=$?
app_pid=
# Ended by our SIGTERM (128 + 15) is the only acceptable way out; a crash shows another signal.
if [ "$status" -ne 143 ] && [ "$status" -ne 0 ]; then
    cat "$work/run.log"
    fail "the installed modgate ended with status $status"
fi
if grep -qiE 'AddressSanitizer|runtime error|ThreadSanitizer|Segmentation|Aborted' "$work/run.log"; then
    cat "$work/run.log"
    fail "the installed modgate reported an error"
fi
grep -q "unrealPath=$work/game" "$home/.config/Modgate/Modgate.conf" || fail "the stored unrealPath changed"
echo "ok: the installed modgate starts and runs until stopped"
