#!/usr/bin/env python3
"""Fails when a file under src/ includes a header of a folder above it or
beside it. Every header is reachable through the one include root, so the
compiler would not notice; the layers are:

    app -> census, inventory, install, notes, base
    census -> notes, base
    inventory, install, notes -> base
    base -> nothing of ours

Usage: include_layers.py SRC_DIR"""

import os
import re
import sys

USES = {
    "app": {"census", "inventory", "install", "notes", "base"},
    "census": {"notes", "base"},
    "inventory": {"base"},
    "install": {"base"},
    "notes": {"base"},
    "base": set(),
}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def problems(src):
    found = []
    folders = sorted(os.listdir(src))
    for folder in folders:
        path = os.path.join(src, folder)
        if not os.path.isdir(path):
            continue
        if folder not in USES:
            found.append("%s: a folder that no layer names" % folder)
            continue
        for name in sorted(os.listdir(path)):
            with open(os.path.join(path, name), encoding="utf-8") as f:
                for number, line in enumerate(f, 1):
                    match = INCLUDE.match(line)
                    if not match or "/" not in match.group(1):
                        continue
                    target = match.group(1).split("/")[0]
                    if target in USES and target != folder and target not in USES[folder]:
                        found.append("%s/%s:%d includes %s, but %s may use only %s" % (
                            folder, name, number, match.group(1), folder,
                            ", ".join(sorted(USES[folder])) or "nothing of ours"))
    return found


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    found = problems(sys.argv[1])
    for problem in found:
        print(problem)
    if not found:
        print("every include of %s points down" % sys.argv[1])
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
