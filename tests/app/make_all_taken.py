#!/usr/bin/env python3
"""Makes the temporary location of the end-to-end run in which every staging
name is taken by someone else:

    make_all_taken.py DIR STANDIN_INSTALLER_EXE

DIR/temp/ gets _Orvane3d1 to _Orvane3d31999 as empty files and the directory
_Orvane3d32000/ with their INSTALL.EXE (a copy of the stand-in installer) and
its STANDIN.CFG, which would have that program write DIR/their-report.txt if
anything started it.

Made here on the host, in under a second: under Wine each new name in a
directory of thousands costs a look through all of them, and 32,000 names
take minutes. The empty files are links of one file, since a new file's
inode costs many times what a name does on a busy disk.
"""
import os
import shutil
import sys

STAGING_NUMBERS = 32000


def windows_path(path):
    """Wine sees the host's root as drive Z:."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    root, installer = sys.argv[1:]
    shutil.rmtree(root, ignore_errors=True)
    temp = os.path.join(root, "temp")
    os.makedirs(temp)
    first = os.path.join(temp, "_Orvane3d1")
    open(first, "wb").close()
    for number in range(2, STAGING_NUMBERS):
        os.link(first, os.path.join(temp, "_Orvane3d%d" % number))
    theirs = os.path.join(temp, "_Orvane3d%d" % STAGING_NUMBERS)
    os.mkdir(theirs)
    shutil.copyfile(installer, os.path.join(theirs, "INSTALL.EXE"))
    report = windows_path(os.path.join(root, "their-report.txt"))
    with open(os.path.join(theirs, "STANDIN.CFG"), "wb") as config:
        config.write(("[standin]\r\nmode=once\r\nreport=%s\r\n" % report).encode())


if __name__ == "__main__":
    main()
