#!/usr/bin/env python3
"""Checks the shape of a built SETUP.EXE:

    check_shipped_exe.py SETUP.EXE i386|x86_64

the machine and PE32/PE32+ format, the GUI subsystem, the export "WndProc",
the icon group "IDI_SDIAPPLICATION" (language neutral) with its one
32 x 32 16-colour image, and imports from system DLLs only. Prints each
finding and exits non-zero when one is wrong.
"""
import struct
import sys

MACHINES = {"i386": (0x14C, 0x10B), "x86_64": (0x8664, 0x20B)}
SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "msvcrt.dll", "advapi32.dll",
    "shell32.dll", "comctl32.dll", "ole32.dll", "ntdll.dll",
}
RT_ICON, RT_GROUP_ICON = 3, 14
IMAGE_SUBSYSTEM_WINDOWS_GUI = 2


class Pe:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("no MZ header")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
        opt = pe + 24
        self.magic = struct.unpack_from("<H", data, opt)[0]
        self.subsystem = struct.unpack_from("<H", data, opt + 68)[0]
        dirs = opt + (96 if self.magic == 0x10B else 112)
        self.dirs = [struct.unpack_from("<II", data, dirs + 8 * i) for i in range(16)]
        table = opt + optional_size
        self.sections = []
        for i in range(sections):
            _, vsize, vaddr, rsize, raw = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((vaddr, max(vsize, rsize), raw))

    def offset(self, rva):
        for vaddr, size, raw in self.sections:
            if vaddr <= rva < vaddr + size:
                return rva - vaddr + raw
        raise ValueError("RVA %#x outside every section" % rva)

    def cstring(self, rva):
        at = self.offset(rva)
        return self.data[at:self.data.index(b"\0", at)].decode("latin-1")

    def exports(self):
        rva, size = self.dirs[0]
        if not size:
            return []
        count, _, names = struct.unpack_from("<III", self.data, self.offset(rva) + 24)
        names_at = self.offset(names)
        return [self.cstring(struct.unpack_from("<I", self.data, names_at + 4 * i)[0]) for i in range(count)]

    def imports(self):
        rva, size = self.dirs[1]
        dlls, at = [], self.offset(rva) if size else None
        while at is not None:
            name_rva = struct.unpack_from("<I", self.data, at + 12)[0]
            if not name_rva:
                break
            dlls.append(self.cstring(name_rva))
            at += 20
        return dlls

    def resources(self):
        """{(type, name, language): bytes}; names are ints or strings."""
        rva, size = self.dirs[2]
        found = {}
        if not size:
            return found
        base = self.offset(rva)

        def walk(at, path):
            named, ids = struct.unpack_from("<HH", self.data, at + 12)
            for i in range(named + ids):
                ident, target = struct.unpack_from("<II", self.data, at + 16 + 8 * i)
                if ident & 0x80000000:
                    s = base + (ident & 0x7FFFFFFF)
                    length = struct.unpack_from("<H", self.data, s)[0]
                    ident = self.data[s + 2:s + 2 + 2 * length].decode("utf-16-le")
                if target & 0x80000000:
                    walk(base + (target & 0x7FFFFFFF), path + [ident])
                else:
                    data_rva, data_size = struct.unpack_from("<II", self.data, base + target)
                    at_data = self.offset(data_rva)
                    found[tuple(path + [ident])] = self.data[at_data:at_data + data_size]

        walk(base, [])
        return found


def check(path, arch):
    with open(path, "rb") as f:
        pe = Pe(f.read())
    problems = []

    def expect(ok, what):
        print(("ok   " if ok else "FAIL ") + what)
        if not ok:
            problems.append(what)

    machine, magic = MACHINES[arch]
    expect(pe.machine == machine, "machine %#x (%s)" % (pe.machine, arch))
    expect(pe.magic == magic, "optional header magic %#x (%s)" % (pe.magic, "PE32" if magic == 0x10B else "PE32+"))
    expect(pe.subsystem == IMAGE_SUBSYSTEM_WINDOWS_GUI, "subsystem %d (GUI)" % pe.subsystem)
    exports = pe.exports()
    expect(exports == ["WndProc"], "exports %s" % exports)
    imports = pe.imports()
    expect(bool(imports) and all(d.lower() in SYSTEM_DLLS for d in imports), "imports %s" % imports)

    resources = pe.resources()
    groups = {k: v for k, v in resources.items() if k[0] == RT_GROUP_ICON}
    expect(list(groups) == [(RT_GROUP_ICON, "IDI_SDIAPPLICATION", 0)],
           "icon groups %s (one, named, language neutral)" % list(groups))
    for group in groups.values():
        _, kind, count = struct.unpack_from("<HHH", group, 0)
        expect(kind == 1 and count == 1, "icon group holds %d image(s)" % count)
        for i in range(count):
            w, h, colours, _, planes, bits, size, ident = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
            expect((w, h, colours, bits) == (32, 32, 16, 4),
                   "group entry %dx%d, %d colours, %d bpp" % (w, h, colours, bits))
            images = [v for k, v in resources.items() if k[0] == RT_ICON and k[1] == ident]
            expect(len(images) == 1, "icon image %d present" % ident)
            for image in images:
                _, iw, ih, _, ibits = struct.unpack_from("<IiiHH", image, 0)
                expect((iw, ih, ibits, len(image)) == (32, 64, 4, size),
                       "image bitmap %dx%d (with mask), %d bpp, %d bytes" % (iw, ih // 2, ibits, len(image)))
    return not problems


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[2] not in MACHINES:
        sys.exit(__doc__)
    sys.exit(0 if check(sys.argv[1], sys.argv[2]) else 1)
