#!/usr/bin/env python3
"""Runs an end-to-end case again and again with the program's heap running
out: the first partition's notes.ini gains SimAllocationsFailFrom=N, so that
from the N-th allocation after the library's initialisation on every one
fails (sim/README.md). N goes over the whole run: the library's start-up,
the census and the listing. Every run must end as a run short of memory
may, with exit code 1 or 2 and the library given back (a balanced "term"
line in the call log), never with a crash; a run that no failure reached
ends with 0."""

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
    ini = next(s for s in sections if s.kind == "file" and s.argument == "data1/notes.ini")
    lines = list(ini.lines)
    ini.lines = lines + ["SimAllocationsFailFrom=%d" % fail_from]
    try:
        run_case.build_tree(sections, scratch, env["BREVON_SIM_DIR_UNIX"], env["BREVON_BIN_UNIX"])
    finally:
        ini.lines = lines
    with open(os.path.join(scratch.root, "stdout.txt"), "wb") as out, \
            open(os.path.join(scratch.root, "stderr.txt"), "wb") as err:
        code = run_case.run_program(["wine", scratch.exe] + args, scratch, env, out, err, None)
    log = b""
    if os.path.exists(scratch.log):
        with open(scratch.log, "rb") as f:
            log = f.read()
    allocations = ALLOCATIONS.search(log)
    return code, log, int(allocations.group(1)) if allocations else None


def problems_of(code, log, allocations, fail_from):
    problems = run_case.check_log(log.decode("utf-8", "backslashreplace"), False)
    if b"\nterm " not in b"\n" + log:
        problems.append("no NotesTerm in the call log")
    if allocations is None:
        problems.append("no allocation count in the call log")
    elif allocations >= fail_from and code not in (1, 2):
        problems.append("exit code %d after an allocation failed, expected 1 or 2" % code)
    elif allocations < fail_from and code != 0:
        problems.append("exit code %d with no allocation failed, expected 0" % code)
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--bin", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--prefix", required=True)
    parser.add_argument("case")
    options = parser.parse_args()

    sections = run_case.parse_case(options.case)
    by_kind = {s.kind: s for s in sections}
    env = dict(winsetup.wine_environment(os.path.abspath(options.prefix)))
    env["BREVON_SIM_DIR_UNIX"] = os.path.abspath(options.sim)
    env["BREVON_BIN_UNIX"] = os.path.abspath(options.bin)
    drives = winsetup.Drives(os.path.abspath(options.prefix))
    name = "sweep-" + os.path.splitext(os.path.basename(options.case))[0]
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
            print("FAIL the run without failures: exit %d\n%s" % (code, log.decode()))
            return 1
        points = sorted(set(list(range(1, min(total, MOST_RUNS // 2) + 1)) +
                            [1 + total * k // (MOST_RUNS // 2) for k in range(MOST_RUNS // 2 + 1)]))
        for fail_from in points:
            code, log, allocations = run_once(sections, scratch, env, args, fail_from)
            problems = problems_of(code, log, allocations, fail_from)
            if problems:
                failed += 1
                print("FAIL from allocation %d of %d: %s" % (fail_from, total, "; ".join(problems)))
                with open(os.path.join(scratch.root, "stdout.txt"), "rb") as f:
                    print(f.read().decode("utf-8", "replace")[-400:])
            else:
                print("ok   from allocation %d of %d: exit %d" % (fail_from, total, code))
    finally:
        winsetup.clear_registry(env, drives, scratch.root)
    if not failed:
        shutil.rmtree(scratch.root, ignore_errors=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
