#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs e2e_launch.py on an X server, D-Bus session and runtime folder of its own (the accessibility
# bus keeps its socket there), so that runs side by side never meet on one bus. Exits 77 (skipped)
# only where no X server can be had; anything else missing fails, since ./test installs it.
# Usage: e2e_launch.sh MODGATE SAMPLE_GAME SAMPLE_INSTALLATION [--first-rows]
set -euo pipefail
fail() { echo "e2e: $* (./test installs it)" >&2; exit 1; }
command -v Xvfb >/dev/null || { echo "SKIPPED: Xvfb is not installed here."; exit 77; }
for tool in dbus-run-session xdotool; do command -v $tool >/dev/null || fail "no $tool"; done
# The Debian python has the accessibility bindings; another python3 may come first in PATH.
python=/usr/bin/python3
[ -x $python ] || python=python3
$python -c "import pyatspi" 2>/dev/null || fail "no python3-pyatspi"
[ -x "$1" ] && [ -x "$2" ] && [ -x "$3" ] || fail "$1, $2 or $3 is not built"
run=$(mktemp -d)
# Xvfb picks a free display number and writes it to fd 3.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$run/display" 2>"$run/xvfb.log" &
trap 'rm -rf "$run"; kill $! 2>/dev/null || :' EXIT
until [ -s "$run/display" ]; do kill -0 $! || fail "Xvfb: $(<"$run/xvfb.log")"; sleep 0.1; done
unset AT_SPI_BUS_ADDRESS
XDG_RUNTIME_DIR=$run DISPLAY=:$(<"$run/display") \
    dbus-run-session -- $python "$(dirname "$0")/e2e_launch.py" "$@"
