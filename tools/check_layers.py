#!/usr/bin/env python3
"""Keeps the layers pointing one way. From the bottom up:

    1  host/                          the host contract: records, register rows, interfaces
    2  addressing/ display/ serial/   code that needs no Windows component runtime
    3  driver/                        the driver object and its component base
    4  module/                        the component server module

(the same numbers as the README's layer table)

A file may include from its own folder and from layers below it, never from a layer above
or from another folder of its own layer. Exits 1 and names every include that breaks this.

    check_layers.py [source root]
"""
import os
import re
import sys

LAYERS = {"host": 1, "addressing": 2, "display": 2, "serial": 2, "driver": 3, "module": 4}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"/]+)/[^"]+"')


def breaks(root):
    found = []
    for folder, rank in sorted(LAYERS.items()):
        for dirpath, _, files in os.walk(os.path.join(root, folder)):
            for name in sorted(files):
                if not name.endswith((".h", ".cpp", ".c", ".rc", ".in")):
                    continue
                path = os.path.join(dirpath, name)
                with open(path, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if not m or m.group(1) not in LAYERS or m.group(1) == folder:
                            continue
                        if LAYERS[m.group(1)] >= rank:
                            found.append("%s:%d: %s/ (layer %d) includes from %s/ (layer %d)" % (
                                os.path.relpath(path, root), number, folder, rank, m.group(1),
                                LAYERS[m.group(1)]))
    return found


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    found = breaks(root)
    for line in found:
        print(line)
    print("layers: %d include(s) pointing up or sideways" % len(found))
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
