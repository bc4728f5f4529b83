#!/usr/bin/python3
# Debian's own Python: python3-fusepy installs its module there.
"""failing_medium.py MOUNTPOINT SOURCE GONE_AT | --unmount MOUNTPOINT

Mounts a read-only view of the directory SOURCE on MOUNTPOINT: a medium that
misbehaves while it is read. Every file reads as in SOURCE, except SETUP.TMP,
which follows the plan in the file GONE_AT (read when SETUP.TMP is opened),
words separated by blanks:

    N  or  gone N         an I/O error from byte N on, as a drive does whose
                          disc was taken out
    once N                one I/O error for the first read that reaches byte N,
                          as a flaky drive or share gives; later reads succeed
    delay MS              every read takes MS milliseconds longer: a slow medium
    swap N LINK TARGET    the first read that reaches byte N points the symbolic
                          link LINK at TARGET (replacing it in one rename)

SETUP.TMP bypasses the page cache, so that every read of the program reaches
the plan. Runs in the background until unmounted; the tests
run as root, as everything here does. Where no FUSE file system can be
mounted (no /dev/fuse), it says so in MOUNTPOINT.unavailable and exits 0:
the run that needs it is then skipped, with that reason.
"""
import errno
import os
import subprocess
import select
import sys
import time

MOUNT_TIMEOUT_S = 60  # far above what a mount takes on a busy machine


def unmount(mountpoint):
    # Lazily: a program of the run that still holds a file there keeps it,
    # and the mount goes as soon as it lets go.
    if os.path.ismount(mountpoint):
        return subprocess.call(["umount", "-l", mountpoint])
    return 0


def parse_plan(text):
    words = text.split()
    if len(words) == 1:
        return {"gone": int(words[0])}
    plan = {}
    while words:
        word = words.pop(0)
        if word == "swap":
            plan["swap"] = (int(words[0]), words[1], words[2])
            del words[:3]
        else:
            plan[word] = int(words.pop(0))
    return plan


def serve(mountpoint, source, gone_at_file, ready):
    from fusepy import FUSE, FuseOSError, Operations

    class FailingMedium(Operations):
        def __init__(self):
            self.plans = {}

        def init(self, path):
            # Mounted: the waiting parent hears it.
            os.write(ready, b"1")
            os.close(ready)

        def _path(self, path):
            return os.path.join(source, path.lstrip("/"))

        def getattr(self, path, fh=None):
            try:
                st = os.lstat(self._path(path))
            except OSError as error:
                raise FuseOSError(error.errno)
            return {key: getattr(st, key) for key in (
                "st_mode", "st_nlink", "st_size", "st_uid", "st_gid", "st_atime", "st_mtime", "st_ctime")}

        def readdir(self, path, fh):
            return [".", ".."] + os.listdir(self._path(path))

        def open(self, path, fi):
            if fi.flags & (os.O_WRONLY | os.O_RDWR):
                raise FuseOSError(errno.EROFS)
            try:
                fd = os.open(self._path(path), os.O_RDONLY)
            except OSError as error:
                raise FuseOSError(error.errno)
            if os.path.basename(path).upper() == "SETUP.TMP":
                with open(gone_at_file) as f:
                    self.plans[fd] = parse_plan(f.read())
                fi.direct_io = True
            fi.fh = fd
            return 0

        def read(self, path, size, offset, fi):
            plan = self.plans.get(fi.fh)
            if plan is not None:
                if "delay" in plan:
                    time.sleep(plan["delay"] / 1000.0)
                if "gone" in plan:
                    if offset >= plan["gone"]:
                        raise FuseOSError(errno.EIO)
                    size = min(size, plan["gone"] - offset)
                if "once" in plan and offset + size > plan["once"]:
                    del plan["once"]
                    raise FuseOSError(errno.EIO)
                if "swap" in plan and offset + size > plan["swap"][0]:
                    _, link, target = plan.pop("swap")
                    os.symlink(target, link + ".new")
                    os.rename(link + ".new", link)
            return os.pread(fi.fh, size, offset)

        def release(self, path, fi):
            self.plans.pop(fi.fh, None)
            os.close(fi.fh)
            return 0

    FUSE(FailingMedium(), mountpoint, foreground=True, ro=True, raw_fi=True, allow_other=True)


def main():
    if sys.argv[1] == "--unmount":
        return unmount(sys.argv[2])
    mountpoint, source, gone_at_file = sys.argv[1:4]
    import fusepy  # noqa: F401  (fails here, with its message, when it is missing)
    unavailable = mountpoint + ".unavailable"
    if os.path.exists(unavailable):
        os.remove(unavailable)
    unmount(mountpoint)
    if not os.path.exists("/dev/fuse"):
        with open(unavailable, "w") as f:
            f.write("no /dev/fuse on this machine\n")
        print("failing_medium.py: no /dev/fuse: the run with a medium taken out is skipped", file=sys.stderr)
        return 0
    os.makedirs(mountpoint, exist_ok=True)
    os.makedirs(source, exist_ok=True)
    ready_read, ready_write = os.pipe()
    if os.fork() == 0:
        os.close(ready_read)
        os.setsid()
        devnull = os.open(os.devnull, os.O_RDWR)
        for fd in (0, 1, 2):
            os.dup2(devnull, fd)
        serve(mountpoint, source, gone_at_file, ready_write)
        os._exit(0)
    os.close(ready_write)
    # The file system says when it is mounted; a child that fails closes the
    # pipe without a word.
    readable, _, _ = select.select([ready_read], [], [], MOUNT_TIMEOUT_S)
    if readable and os.read(ready_read, 1) == b"1" and os.path.ismount(mountpoint):
        return 0
    print("failing_medium.py: %s did not get mounted (is /dev/fuse there?)" % mountpoint, file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main())
