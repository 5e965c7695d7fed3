#!/usr/bin/env python3
"""Fails when a file under src/ includes a header of a folder above it or
beside it. Every header is reachable through the one include root, so the
compiler would not notice. The layers are the libraries of the build, each
given as FOLDER=USES: the folders whose libraries it is linked to, comma
separated (CMake passes them as it links them).

Usage: include_layers.py SRC_DIR FOLDER=USES..."""

import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*["<]([^">]+)[">]')


def layer_of(include, folder, src, uses):
    """The folder of src/ that `include` reaches, or None when it is not ours:
    through the include root ("census/census.h") or, with "..", relative to
    the including file ("../app/report.h")."""
    candidates = [include]
    if "/" in include or "\\" in include:
        candidates.append(os.path.relpath(os.path.normpath(os.path.join(src, folder, include)), src))
    for candidate in candidates:
        first = os.path.normpath(candidate).replace("\\", "/").split("/")[0]
        if first in uses:
            return first
    return None


def problems(src, uses):
    found = []
    for folder in sorted(os.listdir(src)):
        path = os.path.join(src, folder)
        if not os.path.isdir(path):
            continue
        if folder not in uses:
            found.append("%s: a folder that no layer names" % folder)
            continue
        for root, _, names in os.walk(path):
            for name in sorted(names):
                file = os.path.join(root, name)
                shown = os.path.relpath(file, src).replace(os.sep, "/")
                with open(file, encoding="utf-8") as f:
                    for number, line in enumerate(f, 1):
                        match = INCLUDE.match(line)
                        if not match:
                            continue
                        target = layer_of(match.group(1), folder, src, uses)
                        if target and target != folder and target not in uses[folder]:
                            found.append("%s:%d includes %s, but %s may use only %s" % (
                                shown, number, match.group(1), folder,
                                ", ".join(sorted(uses[folder])) or "nothing of ours"))
    return found


def parse_layers(arguments):
    """{folder: set of the folders it may use} from FOLDER=USES arguments."""
    uses = {}
    for argument in arguments:
        folder, _, below = argument.partition("=")
        if not folder or folder in uses:
            sys.exit("include_layers.py: bad or repeated layer %r" % argument)
        uses[folder] = set(b for b in below.split(",") if b)
    return uses


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    found = problems(sys.argv[1], parse_layers(sys.argv[2:]))
    for problem in found:
        print(problem)
    if not found:
        print("every include of %s points down" % sys.argv[1])
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
