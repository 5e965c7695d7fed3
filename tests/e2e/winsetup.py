"""Wine-side set-up shared by the end-to-end runner and the demo: the
environment of the harness, Windows forms of Unix paths, and the registry
keys of a server installation written with one regedit call."""

import os
import subprocess
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
HARNESS = os.path.join(os.path.dirname(HERE), "harness")

# Every key under which the tool looks for an installation; each run starts
# from none of them.
INSTALLATION_KEYS = [
    r"HKEY_LOCAL_MACHINE\SOFTWARE\Lotus\Domino",
    r"HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Lotus\Domino",
    r"HKEY_LOCAL_MACHINE\SOFTWARE\HCL\Domino",
    r"HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\HCL\Domino",
]


def wine_environment(prefix):
    """The environment that tests/harness/wine-env.sh sets up for `prefix`."""
    env = dict(os.environ)
    env["BREVON_WINEPREFIX"] = prefix
    out = subprocess.run(
        ["bash", "-c", 'source "$0" && env -0', os.path.join(HARNESS, "wine-env.sh")],
        env=env, check=True, stdout=subprocess.PIPE).stdout
    result = {}
    for entry in out.split(b"\0"):
        if b"=" in entry:
            name, value = entry.split(b"=", 1)
            result[os.fsdecode(name)] = os.fsdecode(value)
    result.pop("DISPLAY", None)
    return result


class Drives:
    """Maps Unix paths to Windows ones: the prefix's scratch drive S: for
    whatever lies under it, Z: (the Unix root) for everything else."""

    def __init__(self, prefix):
        self.scratch_root = os.path.realpath(os.path.join(prefix, "scratch-drive"))

    def windows(self, path):
        path = os.path.abspath(path)
        real = os.path.realpath(path)
        if real == self.scratch_root or real.startswith(self.scratch_root + os.sep):
            return "S:" + (real[len(self.scratch_root):] or "\\").replace("/", "\\")
        return "Z:" + path.replace("/", "\\")


def _reg_text(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def _reg_value(text):
    """A string value; one holding control characters (a line break) as the
    hex(1) form that .reg files use for such strings."""
    if all(ord(c) >= 0x20 for c in text):
        return _reg_text(text)
    data = (text + "\0").encode("utf-16-le")
    return "hex(1):" + ",".join("%02x" % b for b in data)


def registry_file(keys):
    """Text of a .reg file that deletes the installation keys and then creates
    `keys`: a list of (key path under HKEY_LOCAL_MACHINE or with HKLM\\,
    [(name, value), ...]) in order."""
    lines = ["Windows Registry Editor Version 5.00", ""]
    for key in INSTALLATION_KEYS:
        lines += ["[-" + key + "]", ""]
    for key, values in keys:
        lines.append("[" + full_key(key) + "]")
        for name, value in values:
            lines.append(_reg_text(name) + "=" + _reg_value(value))
        lines.append("")
    return "\r\n".join(lines) + "\r\n"


def full_key(key):
    key = key.strip().rstrip("\\")
    for short in ("HKLM\\", "HKEY_LOCAL_MACHINE\\"):
        if key.upper().startswith(short.upper()):
            return "HKEY_LOCAL_MACHINE\\" + key[len(short):]
    return "HKEY_LOCAL_MACHINE\\" + key


def apply_registry(keys, env, drives, workdir):
    """Deletes the installation keys and writes `keys`, in one regedit call.
    Raises on failure."""
    fd, path = tempfile.mkstemp(suffix=".reg", dir=workdir)
    with os.fdopen(fd, "wb") as f:
        f.write(b"\xff\xfe" + registry_file(keys).encode("utf-16-le"))
    try:
        # The import is idempotent; a second try rides out a rare start-up
        # failure of the Wine program itself.
        for attempt in range(2):
            result = subprocess.run(["wine", "regedit", "/S", drives.windows(path)], env=env,
                                    stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                    stderr=subprocess.STDOUT)
            if result.returncode == 0:
                break
        if result.returncode != 0:
            raise RuntimeError("regedit failed (%d): %s" % (result.returncode,
                                                            result.stdout.decode("utf-8", "replace")))
    finally:
        os.unlink(path)


def clear_registry(env, drives, workdir):
    apply_registry([], env, drives, workdir)
