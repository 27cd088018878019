#!/usr/bin/env python3
"""Checks a built launcher executable: PE kind, subsystem, imports and embedded resources.

    check_pe.py --machine i386|amd64 [--members m1,m2,...] OrvelClient.exe

Exit status 0 when every check holds; each failed check is printed.
"""
import argparse
import io
import struct
import sys
import zipfile

MACHINES = {"i386": (0x14C, 0x10B), "amd64": (0x8664, 0x20B)}
IMAGE_SUBSYSTEM_WINDOWS_GUI = 2
RT_GROUP_ICON = 14
RT_MANIFEST = 24

# What the launcher may import: Windows' own DLLs, nothing that has to ship beside it.
SYSTEM_DLLS = {
    "advapi32.dll", "bcrypt.dll", "comctl32.dll", "comdlg32.dll", "crypt32.dll", "gdi32.dll",
    "gdiplus.dll", "imm32.dll", "kernel32.dll", "msvcrt.dll", "ole32.dll", "oleaut32.dll",
    "shell32.dll", "shlwapi.dll", "urlmon.dll", "user32.dll", "uxtheme.dll", "version.dll",
    "windowscodecs.dll", "winhttp.dll", "wininet.dll", "ws2_32.dll", "msimg32.dll", "dwmapi.dll",
}


class PE:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("no MZ header")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, nsections, _, symbols, nsymbols, opt_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
        opt = pe + 24
        self.magic = struct.unpack_from("<H", data, opt)[0]
        self.subsystem = struct.unpack_from("<H", data, opt + 68)[0]
        dirs = opt + (96 if self.magic == 0x10B else 112)
        self.directories = [struct.unpack_from("<II", data, dirs + 8 * i) for i in range(16)]
        self.sections = []
        self.section_names = []
        sec = opt + opt_size
        for i in range(nsections):
            name, vsize, va, rawsize, rawptr = struct.unpack_from("<8sIIII", data, sec + 40 * i)
            self.sections.append((va, max(vsize, rawsize), rawptr))
            self.section_names.append(self.long_name(name.rstrip(b"\0"), symbols + 18 * nsymbols))

    def long_name(self, name, strings):
        """A section name; "/N" names longer ones (.debug_info, ...) by offset into the COFF string table."""
        if name.startswith(b"/") and name[1:].isdigit():
            start = strings + int(name[1:])
            end = self.data.find(b"\0", start)
            if 0 < strings < start < end:
                return self.data[start:end].decode("ascii", "replace")
        return name.decode("ascii", "replace")

    def offset(self, rva):
        for va, size, raw in self.sections:
            if va <= rva < va + size:
                return raw + rva - va
        raise ValueError("RVA %#x outside every section" % rva)

    def cstring(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def imports(self):
        rva, size = self.directories[1]
        names, pos = [], self.offset(rva)
        while size:
            entry = struct.unpack_from("<IIIII", self.data, pos)
            if not any(entry):
                break
            names.append(self.cstring(entry[3]))
            pos += 20
        return names

    def resources(self):
        """{(type, name): bytes} for the first language of each resource."""
        rva, _ = self.directories[2]
        if not rva:
            return {}
        base = self.offset(rva)

        def entries(table):
            _, _, _, _, named, ids = struct.unpack_from("<IIHHHH", self.data, base + table)
            for i in range(named + ids):
                key, target = struct.unpack_from("<II", self.data, base + table + 16 + 8 * i)
                if key & 0x80000000:
                    at = base + (key & 0x7FFFFFFF)
                    length = struct.unpack_from("<H", self.data, at)[0]
                    key = self.data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
                yield key, target

        result = {}
        for rtype, t in entries(0):
            for rname, n in entries(t & 0x7FFFFFFF):
                for _, leaf in entries(n & 0x7FFFFFFF):
                    data_rva, data_size = struct.unpack_from("<II", self.data, base + leaf)
                    start = self.offset(data_rva)
                    result[(rtype, rname)] = self.data[start:start + data_size]
                    break
        return result


def check(path, machine, members):
    problems = []
    with open(path, "rb") as f:
        pe = PE(f.read())
    want_machine, want_magic = MACHINES[machine]
    if (pe.machine, pe.magic) != (want_machine, want_magic):
        problems.append("machine %#x / magic %#x, expected %#x / %#x"
                        % (pe.machine, pe.magic, want_machine, want_magic))
    if pe.subsystem != IMAGE_SUBSYSTEM_WINDOWS_GUI:
        problems.append("subsystem %d, expected the Windows GUI subsystem" % pe.subsystem)
    foreign = [n for n in pe.imports() if n.lower() not in SYSTEM_DLLS
               and not n.lower().startswith("api-ms-win-")]
    if foreign:
        problems.append("imports DLLs that are not part of Windows: " + ", ".join(foreign))
    debug = [n for n in pe.section_names if n.startswith(".debug")]
    if debug:
        problems.append("carries debugging information (%s); it belongs in the .debug file beside it"
                        % ", ".join(debug[:3]))
    resources = pe.resources()
    if (RT_GROUP_ICON, 107) not in resources:
        problems.append("no icon group resource 107")
    if not any(t == RT_MANIFEST for t, _ in resources):
        problems.append("no manifest")
    skin = resources.get(("ZIPRES", "SKIN"))
    if skin is None:
        problems.append('no resource of type "ZIPRES" named "SKIN"')
    else:
        with zipfile.ZipFile(io.BytesIO(skin)) as archive:
            bad = archive.testzip()
            if bad:
                problems.append("skin archive member %s is damaged" % bad)
            missing = sorted(set(members) - set(archive.namelist()))
            if missing:
                problems.append("skin archive lacks: " + ", ".join(missing))
    return problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--machine", choices=sorted(MACHINES), required=True)
    parser.add_argument("--members", default="")
    parser.add_argument("exe")
    args = parser.parse_args()
    members = [m for m in args.members.split(",") if m]
    problems = check(args.exe, args.machine, members)
    for p in problems:
        print("%s: %s" % (args.exe, p), file=sys.stderr)
    if not problems:
        print("%s: ok (%s, GUI, system imports, no debugging information, icon 107, skin with %d members)"
              % (args.exe, args.machine, len(members)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
