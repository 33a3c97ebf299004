#!/usr/bin/env bash
# Runs e2e_launch.py in a private D-Bus session. Exits 77 (skipped) only where no X server can be
# had; anything else missing is a failure, since ./test installs it.
# Usage: e2e_launch.sh MODGATE SAMPLE_GAME SAMPLE_INSTALLATION
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if ! command -v Xvfb >/dev/null 2>&1; then
    echo "SKIPPED: no X server can be had here (Xvfb is not installed; ./test installs it)."
    exit 77
fi
missing=()
for tool in dbus-run-session xdotool find; do
    command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
# The Debian python, which has the accessibility bindings (another python3 may come first in PATH).
python=
for candidate in /usr/bin/python3 python3; do
    if "$candidate" -c "import pyatspi" >/dev/null 2>&1; then
        python=$candidate
        break
    fi
done
[ -n "$python" ] || missing+=("python3-pyatspi")
if ((${#missing[@]})); then
    echo "e2e: missing ${missing[*]} (./test installs xvfb dbus at-spi2-core python3-pyatspi xdotool)" >&2
    exit 1
fi
for file in "$1" "$2" "$3"; do
    if [ ! -x "$file" ]; then
        echo "e2e: $file is not built" >&2
        exit 1
    fi
done

# A runtime folder of our own: the accessibility bus keeps its socket there, and runs side by side
# must not meet on one bus.
XDG_RUNTIME_DIR=$(mktemp -d)
export XDG_RUNTIME_DIR
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
dbus-run-session -- "$python" "$here/e2e_launch.py" --modgate "$(realpath "$1")" \
    --sample-game "$(realpath "$2")" --sample-installation "$(realpath "$3")" "${@:4}"
