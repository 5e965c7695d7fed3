#!/usr/bin/env python3
"""Runs an end-to-end case again and again with the program's heap running
out: every partition's notes.ini gains SimAllocationsFailFrom=N, so that
from the N-th allocation after each initialisation of the library on every
one fails (sim/README.md). N goes over the whole of a partition: the
library's start-up, the census, the lists and the person list (allocations
before the first load are out of the simulator's reach). Every run must end
as a run short of memory may, with exit code 1 or 2 and every library given
back (a balanced "term" line in the call log for each initialisation), never
with a crash; a run that no failure reached ends with 0."""

import argparse
import os
import re
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import run_case  # noqa: E402
import winsetup  # noqa: E402

ALLOCATIONS = re.compile(rb"^allocations (\d+)$", re.M)
# Runs at most: every N at the start, then evenly spread to the end.
MOST_RUNS = 60


def run_once(sections, scratch, env, args, fail_from):
    inis = [s for s in sections if s.kind == "file" and s.argument.endswith("/notes.ini")]
    kept = [ini.lines for ini in inis]
    for ini in inis:
        ini.lines = ini.lines + ["SimAllocationsFailFrom=%d" % fail_from]
    try:
        run_case.build_tree(sections, scratch, env["BREVON_SIM_DIR_UNIX"], env["BREVON_BIN_UNIX"])
    finally:
        for ini, lines in zip(inis, kept):
            ini.lines = lines
    with open(os.path.join(scratch.root, "stdout.txt"), "wb") as out, \
            open(os.path.join(scratch.root, "stderr.txt"), "wb") as err:
        code = run_case.run_program(["wine", scratch.exe] + args, scratch, env, out, err, None)
    log = b""
    if os.path.exists(scratch.log):
        with open(scratch.log, "rb") as f:
            log = f.read()
    counts = [int(n) for n in ALLOCATIONS.findall(log)]
    return code, log, max(counts) if counts else None


def problems_of(code, log, allocations, fail_from):
    problems = run_case.check_log(log.decode("utf-8", "backslashreplace"), False)
    lines = log.split(b"\n")
    inits = sum(1 for line in lines if line.startswith(b"init "))
    terms = sum(1 for line in lines if line.startswith(b"term "))
    if terms != inits:
        problems.append("%d initialisations, %d of them ended with NotesTerm" % (inits, terms))
    if allocations is None:
        problems.append("no allocation count in the call log")
    elif allocations >= fail_from and code not in (1, 2):
        problems.append("exit code %d after an allocation failed, expected 1 or 2" % code)
    elif allocations < fail_from and code != 0:
        problems.append("exit code %d with no allocation failed, expected 0" % code)
    return problems


def sweep(case, options):
    """Runs the sweep over one case; returns the number of failed runs."""
    sections = run_case.parse_case(case)
    by_kind = {s.kind: s for s in sections}
    env = dict(winsetup.wine_environment(os.path.abspath(options.prefix)))
    env["BREVON_SIM_DIR_UNIX"] = os.path.abspath(options.sim)
    env["BREVON_BIN_UNIX"] = os.path.abspath(options.bin)
    drives = winsetup.Drives(os.path.abspath(options.prefix))
    name = "sweep-" + os.path.splitext(os.path.basename(case))[0]
    scratch = run_case.Scratch(os.path.join(drives.scratch_root, "e2e", name), drives,
                               os.path.abspath(options.bin))
    env["NNOTES_SIM_LOG"] = drives.windows(scratch.log)
    env.pop("NNOTES_SIM_FIRST_DIRECTORY", None)
    env.pop("WINEPATH", None)
    args = scratch.substitute(" ".join(by_kind["args"].lines)).split() if "args" in by_kind else []
    keys = run_case.parse_registry(by_kind["registry"], scratch)

    failed = 0
    os.makedirs(scratch.root, exist_ok=True)
    winsetup.apply_registry(keys, env, drives, scratch.root)
    try:
        code, log, total = run_once(sections, scratch, env, args, 1 << 40)
        if total is None or code != 0:
            print("FAIL %s without failures: exit %d\n%s" % (name, code, log.decode()))
            return 1
        points = sorted(set(list(range(1, min(total, MOST_RUNS // 2) + 1)) +
                            [1 + total * k // (MOST_RUNS // 2) for k in range(MOST_RUNS // 2 + 1)]))
        for fail_from in points:
            code, log, allocations = run_once(sections, scratch, env, args, fail_from)
            problems = problems_of(code, log, allocations, fail_from)
            result = "%s from allocation %d of %d" % (name, fail_from, total)
            if problems:
                failed += 1
                print("FAIL %s: %s" % (result, "; ".join(problems)))
                with open(os.path.join(scratch.root, "stdout.txt"), "rb") as f:
                    print(f.read().decode("utf-8", "replace")[-400:])
            else:
                print("ok   %s: exit %d" % (result, code))
    finally:
        winsetup.clear_registry(env, drives, scratch.root)
    if not failed:
        shutil.rmtree(scratch.root, ignore_errors=True)
    return failed


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--bin", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--prefix", required=True)
    parser.add_argument("cases", nargs="+")
    options = parser.parse_args()
    failed = sum(sweep(case, options) for case in options.cases)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
