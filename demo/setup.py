#!/usr/bin/env python3
"""Sets the demo installation up in a Wine prefix: copies the data folders
to the prefix's scratch drive, puts the simulated server library into a
program folder, writes the link file and the installation's registry keys.
Usage: setup.py PREFIX SIM_DIR   (prints the scratch folder's Windows path)"""

import os
import shutil
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "tests", "e2e"))
import winsetup  # noqa: E402


def main(prefix, sim_dir):
    prefix = os.path.abspath(prefix)
    env = winsetup.wine_environment(prefix)
    drives = winsetup.Drives(prefix)
    root = os.path.join(drives.scratch_root, "demo")
    if os.path.exists(root):
        shutil.rmtree(root)
    shutil.copytree(os.path.join(HERE, "installation"), root)
    program = os.path.join(root, "program")
    os.makedirs(program)
    shutil.copyfile(os.path.join(sim_dir, "nnotes.dll"), os.path.join(program, "nnotes.dll"))
    # A link file holds the path of the folder it stands for.
    with open(os.path.join(root, "partition1", "archive.dir"), "w") as f:
        f.write(drives.windows(os.path.join(root, "archive")) + "\r\n")

    key = r"HKLM\SOFTWARE\Lotus\Domino"
    keys = [(key, [("Path", drives.windows(program))])]
    for number in (1, 2):
        data = drives.windows(os.path.join(root, "partition%d" % number))
        keys.append((key + "\\%d" % number, [("DataPath", data)]))
    winsetup.apply_registry(keys, env, drives, root)
    print(drives.windows(root))


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
