#!/usr/bin/env python3
"""Runs end-to-end cases: Brevon.exe under Wine against the simulated server
library, one scratch installation per case. See README.md for the format."""

import argparse
import difflib
import os
import re
import shutil
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import winsetup  # noqa: E402

HEADER = re.compile(r"^\[([a-z][a-z-]*)(?: ([^\]]*))?\]$")
KNOWN = {"description", "args", "registry", "file", "dir", "symlink", "library", "exe", "path",
         "interrupt", "stdout", "stdout-to", "stderr", "exit", "calllog", "left", "gone"}
# Where [stdout-to] sends standard output; [stdout] is then not compared.
STDOUT_TO = {"full", "closed-pipe"}
FLAGS = {"escapes", "nonewline"}
ESCAPE = re.compile(rb"\\x([0-9A-Fa-f]{2})")
TERM_PAIR = re.compile(r"(\w+) (\d+)/(\d+)")
# What %BANNER% stands for: the banner's four lines, with the build's version.
BANNER = ("\nNorvell Mail Security command-line tool v%s \n"
          "Copyright (C) 2019-2026 Norvell. All rights reserved.\n\n")


class CaseError(Exception):
    pass


class Section:
    def __init__(self, kind, argument, flags):
        self.kind = kind
        self.argument = argument
        self.flags = flags
        self.lines = []


def parse_case(path):
    """Sections in file order. A header is a whole line "[kind]" or
    "[kind argument flag...]"; the content is every line up to the next
    header, exact (blank lines included)."""
    with open(path, "rb") as f:
        data = f.read().decode("utf-8")
    sections = []
    for line in data.split("\n")[:-1] if data.endswith("\n") else data.split("\n"):
        match = HEADER.match(line)
        if match and match.group(1) in KNOWN:
            words = (match.group(2) or "").split(" ")
            words = [w for w in words if w]
            flags = [w for w in words if w in FLAGS]
            rest = [w for w in words if w not in FLAGS]
            sections.append(Section(match.group(1), " ".join(rest), flags))
            continue
        if not sections:
            if line.strip():
                raise CaseError("text before the first section: %r" % line)
            continue
        sections[-1].lines.append(line)
    return sections


class Scratch:
    """A case's scratch installation: the program folder with the libraries,
    data folders, the call log. Placeholders name its Windows paths."""

    def __init__(self, root, drives, bin_dir, exe=None):
        self.root = root
        self.drives = drives
        self.places = {"PROGRAM": os.path.join(root, "program"), "SCRATCH": root}
        for n in range(1, 17):
            self.places["DATA%d" % n] = os.path.join(root, "data%d" % n)
        self.values = {name: drives.windows(p) for name, p in self.places.items()}
        # The scratch area through drive N:, a network drive (wine-prefix).
        self.values["NETSCRATCH"] = "N:\\scratch" + self.values["SCRATCH"][2:]
        # The program run: the build's, or the copy that [exe] places.
        self.exe = self.local(exe) if exe else os.path.join(bin_dir, "Brevon.exe")
        self.values["EXE"] = drives.windows(self.exe)
        self.log = os.path.join(root, "calls.log")
        self.banner = BANNER % build_version(bin_dir)

    def substitute(self, text):
        for name, value in self.values.items():
            text = text.replace("%" + name + "%", value)
        return text

    def content(self, section, line_end="\n"):
        """The section's bytes: placeholders replaced, \\xHH decoded with
        the flag escapes, each line ended with `line_end`."""
        text = "".join(self.banner if line == "%BANNER%" else line + "\n"
                       for line in section.lines)
        if "nonewline" in section.flags and text.endswith("\n"):
            text = text[:-1]
        data = self.substitute(text).encode("utf-8")
        if "escapes" in section.flags:
            data = ESCAPE.sub(lambda m: bytes([int(m.group(1), 16)]), data)
        return data.replace(b"\n", line_end.encode())

    def local(self, relative):
        path = os.path.normpath(os.path.join(self.root, relative))
        if not path.startswith(self.root + os.sep):
            raise CaseError("path outside the scratch area: %s" % relative)
        return path


def build_version(bin_dir):
    """The version that the build gave the program (CMake writes it beside
    the bin folder, for the release)."""
    with open(os.path.join(bin_dir, os.pardir, "release", "version.txt")) as f:
        return f.read().strip()


def one_line(section):
    """The one content line of a section that names something."""
    lines = [line for line in section.lines if line.strip()]
    if len(lines) != 1:
        raise CaseError("[%s] needs one line" % section.kind)
    return lines[0].strip()


def parse_registry(section, scratch):
    """Lines "KEY" or "KEY  Name=Value" (key, then blanks, then the value;
    the value's text runs to the end of the line; with the flag escapes,
    \\xHH is the character U+00HH). Returns the keys in order of first
    mention."""
    keys = []
    index = {}
    for line in section.lines:
        if not line.strip() or line.lstrip().startswith("#"):
            continue
        parts = line.strip().split(None, 1)
        key = parts[0]
        if key not in index:
            index[key] = len(keys)
            keys.append((key, []))
        if len(parts) > 1:
            if "=" not in parts[1]:
                raise CaseError("registry value without '=': %r" % line)
            name, value = parts[1].split("=", 1)
            if "escapes" in section.flags:
                value = re.sub(r"\\x([0-9A-Fa-f]{2})", lambda m: chr(int(m.group(1), 16)),
                               value)
            keys[index[key]][1].append((name, scratch.substitute(value)))
    return keys


def copy_libraries(sim_dir, program_dir):
    os.makedirs(program_dir, exist_ok=True)
    names = [n for n in os.listdir(sim_dir) if n.startswith("nnotes") and n.endswith(".dll")]
    if "nnotes.dll" not in names:
        raise CaseError("no nnotes.dll in %s" % sim_dir)
    for name in names:
        shutil.copyfile(os.path.join(sim_dir, name), os.path.join(program_dir, name))


def make_symlink(section, scratch):
    """[symlink PATH]: a relative Unix symlink at PATH to the one content
    line, a path relative to the scratch area that need not exist."""
    link = scratch.local(section.argument)
    target = scratch.local(one_line(section))
    if os.path.lexists(link):
        raise CaseError("[symlink %s]: the path exists already" % section.argument)
    os.makedirs(os.path.dirname(link), exist_ok=True)
    os.symlink(os.path.relpath(target, os.path.dirname(link)), link)


def copy_into(scratch, relative, source):
    path = scratch.local(relative)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    shutil.copyfile(source, path)


def build_tree(sections, scratch, sim_dir, bin_dir):
    """Lays out the scratch area: program folder, [file], [dir], [library]
    and [exe] entries, then [symlink] entries."""
    if os.path.exists(scratch.root):
        shutil.rmtree(scratch.root)
    os.makedirs(scratch.root)
    copy_libraries(sim_dir, scratch.places["PROGRAM"])
    for section in sections:
        if section.kind == "file":
            path = scratch.local(section.argument)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(scratch.content(section))
        elif section.kind == "dir":
            os.makedirs(scratch.local(section.argument), exist_ok=True)
        elif section.kind == "library":
            copy_into(scratch, section.argument, os.path.join(sim_dir, one_line(section)))
        elif section.kind == "exe":
            copy_into(scratch, section.argument, os.path.join(bin_dir, "Brevon.exe"))
    for section in sections:
        if section.kind == "symlink":
            make_symlink(section, scratch)


def open_stdout(where, default_path):
    """The file descriptor that the program gets as standard output."""
    if where == "full":
        return os.open("/dev/full", os.O_WRONLY)
    if where == "closed-pipe":
        read_end, write_end = os.pipe()
        os.close(read_end)
        return write_end
    return os.open(default_path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)


def run_program(command, scratch, env, out, err, interrupt):
    """Runs the program; with `interrupt`, sends it SIGINT (which Wine turns
    into Ctrl+C) once the call log has a line that starts with that text.
    Returns the exit code."""
    # Python ignores SIGPIPE and, with restore_signals off, so does the
    # program: a write to a closed pipe fails instead of killing it, whatever
    # Wine does with the signal.
    process = subprocess.Popen(command, cwd=scratch.root, env=env, stdin=subprocess.DEVNULL,
                               stdout=out, stderr=err, restore_signals=False)
    try:
        deadline = time.monotonic() + 60
        while interrupt and process.poll() is None and time.monotonic() < deadline:
            if os.path.exists(scratch.log):
                with open(scratch.log, "rb") as f:
                    if any(line.startswith(interrupt.encode()) for line in f.read().split(b"\n")):
                        process.send_signal(signal.SIGINT)
                        break
            time.sleep(0.01)
        return process.wait(timeout=max(1, deadline - time.monotonic()))
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()


def visible(data):
    """Lines for a diff: text with CR and other control bytes shown."""
    text = data.decode("utf-8", "backslashreplace")
    out = []
    for line in text.split("\n"):
        shown = "".join(c if c == "\t" or c >= " " and c != "\x7f" else
                        ("\\r" if c == "\r" else "\\x%02x" % ord(c)) for c in line)
        out.append(shown + "\n")
    return out


def diff(what, expected, actual):
    lines = difflib.unified_diff(visible(expected), visible(actual),
                                 "expected " + what, "actual " + what)
    return "".join(lines)


def check_log(log, help_run):
    """Faults that no case may show in the call log."""
    problems = []
    if help_run and log:
        problems.append("the help path loaded the library:\n" + log)
    for line in log.splitlines():
        if line.startswith("misuse"):
            problems.append("call log: " + line)
        if line.startswith("term "):
            for kind, taken, given in TERM_PAIR.findall(line):
                if taken != given:
                    problems.append("call log: %s %s taken, %s given back: %s"
                                    % (kind, taken, given, line))
    return problems


def check_files(sections, scratch):
    """What the run leaves in the scratch area: each [left PATH] file with
    its content (LF standing for CR LF), nothing at each [gone PATH]."""
    problems = []
    for section in sections:
        if section.kind == "left":
            path = scratch.local(section.argument)
            if not os.path.isfile(path):
                problems.append("the run left no file %s" % section.argument)
                continue
            with open(path, "rb") as f:
                actual = f.read()
            expected = scratch.content(section, "\r\n")
            if expected != actual:
                problems.append(diff(section.argument, expected, actual))
        elif section.kind == "gone" and os.path.lexists(scratch.local(section.argument)):
            problems.append("the run left %s" % section.argument)
    return problems


def run_case(path, bin_dir, sim_dir, prefix, keep=False):
    """Runs one case; returns a list of problem texts (empty: passed)."""
    name = os.path.splitext(os.path.basename(path))[0]
    sections = parse_case(path)
    by_kind = {}
    for section in sections:
        by_kind.setdefault(section.kind, []).append(section)
    for kind in ("args", "registry", "exe", "path", "interrupt", "stdout", "stdout-to", "stderr",
                 "exit", "calllog", "description"):
        if len(by_kind.get(kind, [])) > 1:
            raise CaseError("section [%s] given twice" % kind)
    stdout_to = None
    if "stdout-to" in by_kind:
        stdout_to = "".join(by_kind["stdout-to"][0].lines).strip()
        if stdout_to not in STDOUT_TO:
            raise CaseError("[stdout-to] is one of %s, not %r"
                            % (", ".join(sorted(STDOUT_TO)), stdout_to))
        if "stdout" in by_kind:
            raise CaseError("[stdout] with [stdout-to]: there is no output to compare")

    env = winsetup.wine_environment(prefix)
    drives = winsetup.Drives(prefix)
    if not os.path.isdir(drives.scratch_root):
        raise CaseError("no scratch drive in %s: run tests/harness/wine-prefix start" % prefix)
    exe = by_kind["exe"][0].argument if "exe" in by_kind else None
    scratch = Scratch(os.path.join(drives.scratch_root, "e2e", name), drives, bin_dir, exe)
    build_tree(sections, scratch, sim_dir, bin_dir)
    interrupt = one_line(by_kind["interrupt"][0]) if "interrupt" in by_kind else None

    args = []
    if "args" in by_kind:
        args = scratch.substitute(" ".join(by_kind["args"][0].lines)).split()
    keys = parse_registry(by_kind["registry"][0], scratch) if "registry" in by_kind else []

    env = dict(env)
    env["NNOTES_SIM_LOG"] = drives.windows(scratch.log)
    # SimKeepFirstDirectory keeps its state here; each case starts without.
    env.pop("NNOTES_SIM_FIRST_DIRECTORY", None)
    # Wine puts WINEPATH in front of the program's PATH.
    env.pop("WINEPATH", None)
    if "path" in by_kind:
        env["WINEPATH"] = scratch.substitute(one_line(by_kind["path"][0]))
    out_path = os.path.join(scratch.root, "stdout.txt")
    err_path = os.path.join(scratch.root, "stderr.txt")
    winsetup.apply_registry(keys, env, drives, scratch.root)
    try:
        out = open_stdout(stdout_to, out_path)
        try:
            with open(err_path, "wb") as err:
                code = run_program(["wine", scratch.exe] + args, scratch, env, out, err,
                                   interrupt)
        finally:
            os.close(out)
    finally:
        winsetup.clear_registry(env, drives, scratch.root)

    problems = []
    stdout = b""
    if stdout_to is None:
        with open(out_path, "rb") as f:
            stdout = f.read()
    with open(err_path, "rb") as f:
        stderr = f.read()
    log = b""
    if os.path.exists(scratch.log):
        with open(scratch.log, "rb") as f:
            log = f.read()

    expected_exit = 0
    if "exit" in by_kind:
        text = "".join(by_kind["exit"][0].lines).strip()
        expected_exit = int(text)
    if code < 0:
        problems.append("killed by signal %d, expected exit code %d" % (-code, expected_exit))
    elif code != expected_exit:
        problems.append("exit code %d, expected %d" % (code, expected_exit))

    # A Windows program writes text mode: every LF becomes CR LF.
    for what, actual in (("stdout", stdout), ("stderr", stderr)):
        if what == "stdout" and stdout_to is not None:
            continue
        section = by_kind.get(what, [Section(what, "", [])])[0]
        expected = scratch.content(section, "\r\n")
        if expected != actual:
            problems.append(diff(what, expected, actual))
    if "calllog" in by_kind:
        expected = scratch.content(by_kind["calllog"][0])
        if expected != log:
            problems.append(diff("call log", expected, log))
    problems += check_files(sections, scratch)
    help_run = any(a in ("/help", "/?") for a in args)
    problems += check_log(log.decode("utf-8", "backslashreplace"), help_run)

    if not problems and not keep:
        shutil.rmtree(scratch.root, ignore_errors=True)
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--bin", required=True, help="folder of Brevon.exe (Unix path)")
    parser.add_argument("--sim", required=True, help="folder of the simulated nnotes.dll")
    parser.add_argument("--prefix", default=os.environ.get("BREVON_WINEPREFIX"),
                        help="Wine prefix (default: $BREVON_WINEPREFIX)")
    parser.add_argument("--keep", action="store_true", help="keep scratch areas of passing cases")
    parser.add_argument("cases", nargs="+")
    options = parser.parse_args()
    if not options.prefix:
        parser.error("no Wine prefix: give --prefix or set BREVON_WINEPREFIX")

    failed = 0
    for case in options.cases:
        try:
            problems = run_case(os.path.abspath(case), os.path.abspath(options.bin),
                                os.path.abspath(options.sim), os.path.abspath(options.prefix),
                                options.keep)
        except (CaseError, RuntimeError, ValueError, subprocess.TimeoutExpired) as e:
            problems = ["cannot run: %s" % e]
        name = os.path.basename(case)
        if problems:
            failed += 1
            print("FAIL %s" % name)
            for problem in problems:
                print(problem.rstrip("\n"))
        else:
            print("ok   %s" % name)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
