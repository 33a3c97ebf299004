#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks that each folder of src/ includes only its own headers and those of the folders below it.

The order is the list below, lowest first; folders on one line stand side by side and use none of
each other. Prints each offending include and exits 1; exits 0 when every room keeps its place.
"""
import pathlib
import re
import sys

LAYERS = [
    ["support"],
    ["window", "packages"],
    ["catalogue", "installation"],
    ["modinstall"],
    ["app/table", "app/details", "app/game", "app/install", "app/cli"],
    ["app"],
]
LEVEL = {room: level for level, rooms in enumerate(LAYERS) for room in rooms}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def room_of(relative: str) -> str:
    """The deepest known room a path below src/ lies in."""
    parts = relative.split("/")[:-1]
    for depth in range(len(parts), 0, -1):
        candidate = "/".join(parts[:depth])
        if candidate in LEVEL:
            return candidate
    return ""


def main() -> int:
    source = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "src")
    faults = []
    for path in sorted(source.rglob("*")):
        if path.suffix not in {".h", ".cpp", ".ui"} or not path.is_file():
            continue
        relative = path.relative_to(source).as_posix()
        room = room_of(relative)
        if not room:
            faults.append(f"{relative}: lies in no known room")
            continue
        text = path.read_text(encoding="utf-8", errors="replace")
        includes = INCLUDE.findall(text) + re.findall(r"<header>([^<]+)</header>", text)
        for included in includes:
            other = room_of(included)
            if not other or other == room or included.startswith("ui_"):
                continue
            if LEVEL[other] >= LEVEL[room]:
                faults.append(f"{relative}: includes {included} from {other}, not below {room}")
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
