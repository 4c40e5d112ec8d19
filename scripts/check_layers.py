#!/usr/bin/env python3
"""Checks that the product's folders depend only downward.

Each folder in LAYERS may include headers only from itself and from the folders before it, and
none from the folders in OUTSIDE, which are built on the product (Kestrune.dll holds none of them).
Prints one line per include that breaks this and exits with 1 if there is any.
"""
import pathlib
import re
import sys

LAYERS = ["platform", "com", "files", "parser", "results", "progress", "upload", "server"]
OUTSIDE = ["host", "tools", "tests", "bench"]
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^/"]+)/')


def main():
    root = pathlib.Path(__file__).resolve().parent.parent
    rank = {name: i for i, name in enumerate(LAYERS)}
    rank.update({name: len(LAYERS) for name in OUTSIDE})
    upward = []
    for layer in LAYERS:
        for path in sorted((root / layer).rglob("*")):
            if path.suffix not in (".h", ".cpp", ".idl", ".in"):
                continue
            for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
                match = INCLUDE.match(line)
                if match and rank.get(match.group(1), -1) > rank[layer]:
                    upward.append(f"{path.relative_to(root)}:{number}: {layer}/ includes "
                                  f"{match.group(1)}/ (folders depend only on those before them: "
                                  f"{' < '.join(LAYERS)}, then {', '.join(OUTSIDE)})")
    for line in upward:
        print(line)
    return 1 if upward else 0


if __name__ == "__main__":
    sys.exit(main())
