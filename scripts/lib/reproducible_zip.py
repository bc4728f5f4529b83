#!/usr/bin/env python3
"""Writes a zip archive that depends on nothing but the files' names and bytes.

    reproducible_zip.py ARCHIVE DIR SECONDS

Every regular file below DIR goes in under its path relative to DIR's parent
(so the archive holds one top folder, DIR's name), in byte order of the
paths, deflated at level 9, with the time SECONDS (since 1970) as UTC
wall-clock time, MS-DOS attributes only and no extra fields: the same tree
gives the same bytes on any machine, in any time zone, under any umask.
"""
import os
import sys
import time
import zipfile


def main():
    archive, top, seconds = sys.argv[1], sys.argv[2], int(sys.argv[3])
    stamp = time.gmtime(max(seconds, 315532800))[:6]  # a zip holds no time before 1980
    base = os.path.dirname(os.path.abspath(top))
    paths = []
    for directory, _, names in os.walk(top):
        for name in names:
            full = os.path.join(directory, name)
            if not os.path.isfile(full) or os.path.islink(full):
                sys.exit(f"reproducible_zip: {full}: not a regular file")
            paths.append(os.path.relpath(os.path.abspath(full), base).replace(os.sep, "/"))
    paths.sort(key=lambda p: p.encode())
    with zipfile.ZipFile(archive, "w") as out:
        for path in paths:
            info = zipfile.ZipInfo(path, date_time=stamp)
            info.create_system = 0  # MS-DOS: no Unix owner or mode
            info.external_attr = 0x20  # the archive bit, as Windows sets it (0 would get a Unix mode)
            info.compress_type = zipfile.ZIP_DEFLATED
            with open(os.path.join(base, path), "rb") as f:
                out.writestr(info, f.read(), compresslevel=9)


if __name__ == "__main__":
    main()
