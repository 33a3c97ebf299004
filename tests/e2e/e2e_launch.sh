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

# Under ThreadSanitizer: the accessibility bridge talks D-Bus on a thread inside Qt and libdbus,
# which are not instrumented, so their own locking is invisible and every hand-over between them
# reads as a race. Reports from those libraries are left out; our code is still checked.
if [ -n "${TSAN_OPTIONS:-}" ]; then
    export TSAN_OPTIONS="$TSAN_OPTIONS ignore_noninstrumented_modules=1"
fi

exec dbus-run-session -- "$python" "$here/e2e_launch.py" --modgate "$(realpath "$1")" \
    --sample-game "$(realpath "$2")" --sample-installation "$(realpath "$3")" "${@:4}"
