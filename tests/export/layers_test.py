#!/usr/bin/python3
"""Fails when a room of veldora-export includes a room above it or beside
it: the commands (export/*.cpp) use the writers (page, ci, history), the
writers the report's reading (ots, then xrd), and that the XML tokenizer.
ci and page may each use history, not each other.

    layers_test.py EXPORT_DIR
"""
import os
import re
import sys

RANKS = {"xml": 0, "xrd": 1, "ots": 2, "history": 3, "ci": 4, "page": 4, "": 5}
def room_of(include):
    parts = include.split("/")
    return parts[0] if len(parts) > 1 else ""


def main():
    export = sys.argv[1]
    problems = []
    for room in RANKS:
        folder = os.path.join(export, room)
        for name in sorted(os.listdir(folder)):
            if not name.endswith((".h", ".cpp")):
                continue
            path = os.path.join(folder, name)
            with open(path, encoding="utf-8") as f:
                for number, line in enumerate(f, 1):
                    m = re.match(r'#include "export/([^"]+)"', line)
                    if not m:
                        continue
                    used = room_of(m.group(1))
                    if used == room:
                        continue
                    if RANKS[used] >= RANKS[room]:
                        problems.append("%s:%d: %s includes %s, which is not below it"
                                        % (os.path.relpath(path, export), number,
                                           room or "a command", m.group(1)))
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
