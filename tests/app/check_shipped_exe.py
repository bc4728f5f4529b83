#!/usr/bin/env python3
"""Checks the shape of a built SETUP.EXE:

    check_shipped_exe.py SETUP.EXE i386|x86_64 [--map SETUP.map [--objdump OBJDUMP]]

the machine and PE32/PE32+ format, the GUI subsystem, OS and subsystem
versions that Windows XP accepts, no link time stamp, no symbols, at most
40 KiB, the export "WndProc", the icon group "IDI_SDIAPPLICATION" (language
neutral) with its one 32 x 32 16-colour image, a version resource that names
SETUP.EXE, the binding section ".bind" with its record unbound, and imports of only those
functions that Windows XP SP3 exports (the 64-bit build: XP x64). With the
linker's map, also that no member of the C++ runtime, the thread library or
the unwinder went in; with objdump too (32-bit), that no instruction of the
P6 or later (conditional moves, FCOMI, SSE registers, ...) stands outside the
objects taken only after a cpuid check, so that SETUP.EXE runs on every
processor Windows XP runs on. Prints each finding and exits non-zero when
one is wrong.
"""
import re
import struct
import subprocess
import sys

MACHINES = {"i386": (0x14C, 0x10B), "x86_64": (0x8664, 0x20B)}
MAX_SIZE = 40 * 1024
# Windows XP is 5.1, XP x64 5.2; the loader refuses a file that asks for more.
NEWEST_VERSION = {"i386": (5, 1), "x86_64": (5, 2)}

# Every function the preloader and its start-up code may import; each one is
# exported by the DLLs of Windows XP SP3. Anything else fails the check: a
# new import has to be looked up before it goes on this list (no "*_s"
# functions, no _fseeki64 or _ftelli64, no GetTickCount64: XP has none).
ALLOWED_IMPORTS = {
    "kernel32.dll": {
        "CloseHandle", "CreateDirectoryA", "CreateEventA", "CreateFileA", "CreateThread", "DeleteCriticalSection", "DeleteFileA",
        "DosDateTimeToFileTime", "EnterCriticalSection", "FileTimeToDosDateTime",
        "FileTimeToLocalFileTime", "FreeLibrary", "GetCurrentProcess", "GetDriveTypeA",
        "GetFileAttributesA", "GetFileInformationByHandle", "GetFileTime", "GetLastError",
        "GetModuleFileNameA", "GetModuleHandleA", "GetProcAddress", "GetProcessAffinityMask", "GetStartupInfoA",
        "GetSystemInfo",
        "GetTempFileNameA", "GetTempPathA", "InitializeCriticalSection", "MultiByteToWideChar",
        "LeaveCriticalSection", "LoadLibraryA", "LocalFileTimeToFileTime", "OpenFile", "ReadFile",
        "RemoveDirectoryA", "SetEvent", "SetFilePointerEx", "SetFileTime", "SetUnhandledExceptionFilter", "Sleep",
        "SwitchToThread", "TlsGetValue",
        "VirtualProtect", "VirtualQuery", "WaitForSingleObject", "WinExec", "WriteFile", "WritePrivateProfileStringA",
    },
    "user32.dll": {
        "BeginPaint", "CreateWindowExA", "CreateWindowExW", "DefWindowProcA", "DefWindowProcW", "DispatchMessageA",
        "EndPaint", "GetMessageA", "GetProcessWindowStation", "GetSystemMetrics", "GetUserObjectInformationA",
        "GetWindowLongA", "LoadCursorA", "LoadIconA", "LoadStringW", "MessageBoxExA", "MessageBoxExW", "PostMessageA",
        "PostQuitMessage", "RegisterClassA", "RegisterClassW", "ReleaseCapture", "SetCapture", "SetCursor",
        "SetTimer", "SetWindowLongA", "SetWindowPos", "SetWindowTextA", "SetWindowTextW", "ShowWindow",
        "TranslateMessage", "UpdateWindow",
    },
    "gdi32.dll": {"GetStockObject"},
    # The staging directory's private security descriptor and label, and
    # the owner of a shared staging root.
    "advapi32.dll": {
        "AddAccessAllowedAceEx", "AddAce", "GetKernelObjectSecurity", "GetLengthSid",
        "GetSecurityDescriptorOwner", "GetTokenInformation", "InitializeAcl", "InitializeSecurityDescriptor",
        "OpenProcessToken", "SetSecurityDescriptorControl", "SetSecurityDescriptorDacl",
        "SetSecurityDescriptorSacl",
    },
    "msvcrt.dll": {
        "__getmainargs", "__initenv", "__set_app_type", "__setusermatherr", "_amsg_exit", "_cexit",
        "_filelengthi64", "_fileno", "_get_osfhandle", "_initterm", "_onexit", "abort", "calloc",
        "exit", "fclose", "fflush", "fgetpos", "fopen", "fprintf", "fputc", "fread", "free",
        "fseek", "fsetpos", "fwrite", "malloc", "memchr", "memcmp", "memcpy", "memmove", "memset",
        "realloc", "setvbuf", "signal", "strchr", "strcmp", "strlen", "strncmp", "strrchr",
        "vfprintf", "_write",
        "_close", "_fdopen", "_open_osfhandle",  # a member's file made new (codec/lzss.cpp)
    },
}
ALLOWED_BY_MACHINE = {
    "i386": {"msvcrt.dll": {"__p__acmdln", "__p__commode", "__p__fmode", "_iob"}},
    "x86_64": {
        "msvcrt.dll": {"__C_specific_handler", "__iob_func", "_acmdln", "_commode", "_fmode"},
        "user32.dll": {"GetWindowLongPtrA", "SetWindowLongPtrA"},
    },
}

# Libraries whose code must not be in the file: the C++ runtime, the thread
# library of the posix thread model, and the unwinder.
FORBIDDEN_LIBRARIES = re.compile(r"(^|/)lib(stdc\+\+|supc\+\+|winpthread|pthread|gcc_eh|gcc_s)(\.dll)?\.a\(")

RT_ICON, RT_GROUP_ICON, RT_VERSION = 3, 14, 16
IMAGE_SUBSYSTEM_WINDOWS_GUI = 2


class Pe:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("no MZ header")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        (self.machine, sections, self.timestamp, self.symbol_table, self.symbol_count, optional_size,
         _) = struct.unpack_from("<HHIIIHH", data, pe + 4)
        opt = pe + 24
        self.magic = struct.unpack_from("<H", data, opt)[0]
        os_major, os_minor, _, _, sub_major, sub_minor = struct.unpack_from("<6H", data, opt + 40)
        self.os_version = (os_major, os_minor)
        self.subsystem_version = (sub_major, sub_minor)
        self.subsystem = struct.unpack_from("<H", data, opt + 68)[0]
        dirs = opt + (96 if self.magic == 0x10B else 112)
        self.dirs = [struct.unpack_from("<II", data, dirs + 8 * i) for i in range(16)]
        table = opt + optional_size
        self.sections = []
        self.section_data = {}
        for i in range(sections):
            name, vsize, vaddr, rsize, raw = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((vaddr, max(vsize, rsize), raw))
            self.section_data[name.rstrip(b"\0").decode("latin-1")] = data[raw:raw + rsize]

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
        """{dll name: [function names]}; an import by ordinal reads "#n"."""
        rva, size = self.dirs[1]
        found = {}
        at = self.offset(rva) if size else None
        wide = self.magic == 0x20B
        thunk_size, ordinal_flag = (8, 1 << 63) if wide else (4, 1 << 31)
        while at is not None:
            lookup, _, _, name_rva, address = struct.unpack_from("<IIIII", self.data, at)
            if not name_rva:
                break
            names = []
            thunk = self.offset(lookup or address)
            while True:
                entry = struct.unpack_from("<Q" if wide else "<I", self.data, thunk)[0]
                if not entry:
                    break
                names.append("#%d" % (entry & 0xFFFF) if entry & ordinal_flag else self.cstring(entry + 2))
                thunk += thunk_size
            found[self.cstring(name_rva)] = names
            at += 20
        return found

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


def allowed_imports(arch):
    allowed = {dll: set(names) for dll, names in ALLOWED_IMPORTS.items()}
    for dll, names in ALLOWED_BY_MACHINE[arch].items():
        allowed[dll] |= names
    return allowed


def archive_members(map_text):
    """The "library(member)" names of a GNU ld map's list of archive members."""
    if "Archive member included" not in map_text:
        return []
    section = map_text.split("Archive member included", 1)[1]
    section = re.split(r"^(?:Discarded input sections|Allocating common symbols|Memory Configuration)",
                       section, maxsplit=1, flags=re.M)[0]
    return re.findall(r"^(\S+\.a\([^)]*\))", section, re.M)


# Instructions that the Pentium (i586) lacks, and the objects that may hold
# them because the code picks them only after cpuid said the processor has
# them (SSE2 for the decoder's group loop, the SHA extensions).
P6_INSTRUCTIONS = re.compile(r"\t(cmov\w+|fcmov\w+|f[u]?comip?|sysenter|sysexit|rdpmc)\b|%xmm")
CPUID_CHOSEN_OBJECTS = re.compile(r"(group_decoder_sse2|sha256_shani)\.cpp\.obj$")


def text_sections(map_text):
    """(start, size, object) of each code section the map places."""
    placed = []
    pending = None
    for line in map_text.splitlines():
        named = re.match(r"^ (\.text\S*)\s*$", line)
        if named:
            pending = named.group(1)
            continue
        entry = re.match(r"^ (\.text\S*)?\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$", line)
        if entry and (entry.group(1) or pending):
            placed.append((int(entry.group(2), 16), int(entry.group(3), 16), entry.group(4).strip()))
        pending = None
    return placed


def p6_outside_cpuid_checks(path, map_text, objdump):
    """The P6 instructions of the file that lie outside the cpuid-chosen objects."""
    listing = subprocess.run([objdump, "-d", path], check=True, capture_output=True, text=True).stdout
    placed = text_sections(map_text)
    found = []
    for line in listing.splitlines():
        if not P6_INSTRUCTIONS.search(line):
            continue
        address = int(line.split(":", 1)[0], 16)
        owner = next((o for start, size, o in placed if start <= address < start + size), "?")
        if not CPUID_CHOSEN_OBJECTS.search(owner):
            found.append("%s in %s" % (line.split("\t")[-1].strip(), owner.rsplit("/", 1)[-1]))
    return found


def check(path, arch, map_path=None, objdump=None):
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
    newest = NEWEST_VERSION[arch]
    expect(pe.os_version <= newest and pe.subsystem_version <= newest,
           "OS version %d.%d, subsystem version %d.%d (at most %d.%d)"
           % (pe.os_version + pe.subsystem_version + newest))
    expect(pe.timestamp == 0, "link time stamp %#x (none)" % pe.timestamp)
    expect(pe.symbol_table == 0 and pe.symbol_count == 0, "%d symbols (stripped)" % pe.symbol_count)
    expect(len(pe.data) <= MAX_SIZE, "%d bytes (at most %d)" % (len(pe.data), MAX_SIZE))
    exports = pe.exports()
    expect(exports == ["WndProc"], "exports %s" % exports)

    imports = pe.imports()
    allowed = allowed_imports(arch)
    expect(bool(imports), "imports from %s" % sorted(imports))
    for dll, names in sorted(imports.items()):
        permitted = allowed.get(dll.lower())
        if permitted is None:
            expect(False, "%s is no system DLL of Windows XP" % dll)
            continue
        others = sorted(set(names) - permitted)
        expect(not others, "%d functions from %s%s" % (
            len(names), dll, ", not on the list of Windows XP's: %s" % " ".join(others) if others else ""))

    if map_path:
        with open(map_path, encoding="latin-1") as f:
            members = archive_members(f.read())
        libraries = sorted({re.sub(r"\(.*", "", m).rsplit("/", 1)[-1] for m in members})
        forbidden = sorted({m.rsplit("/", 1)[-1] for m in members if FORBIDDEN_LIBRARIES.search(m)})
        expect(bool(members) and not forbidden, "library members from %s%s" % (
            " ".join(libraries), "; of the C++ runtime, threads or unwinder: %s" % " ".join(forbidden)
            if forbidden else ""))
        if objdump and arch == "i386":
            with open(map_path, encoding="latin-1") as f:
                found = p6_outside_cpuid_checks(path, f.read(), objdump)
            expect(not found, "no P6 instruction outside the cpuid-chosen code%s" % (
                ": " + "; ".join(found[:8]) if found else ""))

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
    versions = [v for k, v in resources.items() if k[0] == RT_VERSION]
    expect(len(versions) == 1 and "SETUP.EXE".encode("utf-16-le") in versions[0],
           "one version resource, OriginalFilename SETUP.EXE")
    record = pe.section_data.get(".bind", b"")
    expect(record[:16] == b"SETUPBND" + struct.pack("<II", 1, 0),
           "binding record in .bind: %s (SETUPBND, version 1, unbound)" % record[:16])
    return not problems


if __name__ == "__main__":
    args = sys.argv[1:]
    map_path = objdump = None
    if len(args) in (4, 6) and args[2] == "--map":
        map_path = args[3]
        if len(args) == 6 and args[4] == "--objdump":
            objdump = args[5]
        elif len(args) == 6:
            sys.exit(__doc__)
        args = args[:2]
    if len(args) != 2 or args[1] not in MACHINES:
        sys.exit(__doc__)
    sys.exit(0 if check(args[0], args[1], map_path, objdump) else 1)
