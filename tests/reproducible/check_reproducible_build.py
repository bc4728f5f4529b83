#!/usr/bin/env python3
"""Builds the shipped programs a second time and compares them byte for byte:

    check_reproducible_build.py SOURCE BUILD WORK TARGET=FILE...

SOURCE and BUILD are the source tree and a configured build tree that holds
the programs already; each TARGET is built again from a copy of SOURCE in
WORK, in another build directory, later and in another time zone, and its
FILE (relative to the build tree) must come out with the same bytes. No file
of either build may name the directories it was built in. Prints what it
compares and exits non-zero on any difference.
"""
import os
import shutil
import subprocess
import sys

# Far from any time zone a machine is likely to run in, and half an hour off.
OTHER_TIME_ZONES = ("LINT-14", "NPT-5:45")


def cache_value(build, name):
    with open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8") as cache:
        for line in cache:
            key, _, value = line.rstrip("\n").partition("=")
            if key.split(":", 1)[0] == name:
                return value
    return ""


def copy_sources(source, build, copy):
    """The source tree without its build trees and version control."""
    skip = {os.path.realpath(build), os.path.realpath(os.path.join(source, "build")),
            os.path.realpath(os.path.join(source, "out")), os.path.realpath(os.path.join(source, ".git"))}

    def ignore(directory, names):
        return [n for n in names if os.path.realpath(os.path.join(directory, n)) in skip]

    shutil.copytree(source, copy, ignore=ignore, symlinks=True)


def first_differences(a, b, count=8):
    offsets = [i for i in range(min(len(a), len(b))) if a[i] != b[i]]
    return len(offsets), ", ".join("%#x: %02x/%02x" % (i, a[i], b[i]) for i in offsets[:count])


def main(argv):
    if len(argv) < 4 or any("=" not in t for t in argv[3:]):
        sys.exit(__doc__)
    source, build, work = (os.path.abspath(p) for p in argv[:3])
    targets = dict(t.split("=", 1) for t in argv[3:])

    shutil.rmtree(work, ignore_errors=True)
    copy = os.path.join(work, "second-source-tree")
    second = os.path.join(work, "second-build")
    copy_sources(source, build, copy)

    env = dict(os.environ)
    env["TZ"] = OTHER_TIME_ZONES[1] if env.get("TZ") == OTHER_TIME_ZONES[0] else OTHER_TIME_ZONES[0]
    configure = ["cmake", "-S", copy, "-B", second, "-G", "Ninja",
                 "-DCMAKE_BUILD_TYPE=" + cache_value(build, "CMAKE_BUILD_TYPE"),
                 "-DCMAKE_C_COMPILER=" + cache_value(build, "CMAKE_C_COMPILER"),
                 "-DCMAKE_CXX_COMPILER=" + cache_value(build, "CMAKE_CXX_COMPILER"),
                 "-DPRELOADER_TESTS=OFF"]
    toolchain = cache_value(build, "CMAKE_TOOLCHAIN_FILE")
    if toolchain:
        # The copy's own toolchain file, so that nothing of the first tree is read.
        configure.append("-DCMAKE_TOOLCHAIN_FILE=" + os.path.join(copy, os.path.relpath(toolchain, source)))
    print("second build in %s, TZ=%s" % (second, env["TZ"]), flush=True)
    for command in (configure, ["cmake", "--build", second, "--target", *targets]):
        result = subprocess.run(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        if result.returncode != 0:
            print(result.stdout)
            print("FAIL %s" % " ".join(command))
            return 1

    directories = [d.encode() for d in (source, build, copy, second)]
    ok = True
    for target, relative in targets.items():
        with open(os.path.join(build, relative), "rb") as f:
            first_bytes = f.read()
        with open(os.path.join(second, relative), "rb") as f:
            second_bytes = f.read()
        if first_bytes == second_bytes:
            print("ok   %s: %d bytes, the same in both builds" % (relative, len(first_bytes)))
        else:
            ok = False
            count, where = first_differences(first_bytes, second_bytes)
            print("FAIL %s: %d and %d bytes, %d bytes differ (%s)"
                  % (relative, len(first_bytes), len(second_bytes), count, where))
        for data in (first_bytes, second_bytes):
            named = [d.decode() for d in directories if d in data]
            if named:
                ok = False
                print("FAIL %s names the build's directory %s" % (relative, " ".join(named)))
    if ok:
        shutil.rmtree(work, ignore_errors=True)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
