#!/usr/bin/env python3
"""Gates on a shipped Windows program, read from its PE headers alone.

  check_pe.py EXE [--max-kib N] [--max-os-version 5.1] [--forbidden-functions FILE]
              [--allowed-dlls FILE] [--no-debug-sections]

Prints one line per broken rule and exits 1; prints one summary line and exits 0 when every
rule holds.
"""
import argparse
import pathlib
import struct
import sys


class PeError(Exception):
    pass


class Pe:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise PeError("not a Windows program (no MZ header)")
        (pe_at,) = struct.unpack_from("<I", data, 0x3C)
        if data[pe_at:pe_at + 4] != b"PE\0\0":
            raise PeError("not a Windows program (no PE signature)")
        coff = pe_at + 4
        _, sections, _, symbols_at, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, coff)
        self.optional = coff + 20
        magic = struct.unpack_from("<H", data, self.optional)[0]
        if magic not in (0x10B, 0x20B):
            raise PeError("unknown optional header")
        self.pe32plus = magic == 0x20B
        o = self.optional
        self.os_version = struct.unpack_from("<HH", data, o + 40)
        self.subsystem_version = struct.unpack_from("<HH", data, o + 48)
        directories_at = o + (112 if self.pe32plus else 96)
        self.directories = [struct.unpack_from("<II", data, directories_at + 8 * i)
                            for i in range(16)]
        self.sections = []
        table = self.optional + optional_size
        strings_at = symbols_at + 18 * struct.unpack_from("<I", data, coff + 12)[0]
        for i in range(sections):
            raw = data[table + 40 * i:table + 40 * i + 40]
            name = raw[:8].rstrip(b"\0").decode("latin-1")
            if name.startswith("/") and symbols_at:  # a long name in the COFF string table
                offset = strings_at + int(name[1:])
                name = data[offset:data.index(b"\0", offset)].decode("latin-1")
            vsize, vaddr, rsize, rptr = struct.unpack_from("<IIII", raw, 8)
            self.sections.append((name, vaddr, rsize, rptr))

    def offset(self, rva):
        # Only a section's raw bytes are in the file: a separate debug file keeps the headers of
        # the program's sections but none of their bytes.
        for _, vaddr, raw_size, rptr in self.sections:
            if vaddr <= rva < vaddr + raw_size:
                return rva - vaddr + rptr
        raise PeError(f"address {rva:#x} is not in the file")

    def text(self, rva):
        at = self.offset(rva)
        return self.data[at:self.data.index(b"\0", at)].decode("latin-1")

    def imports(self):
        """{dll (lower case): [function names]} of the import table."""
        rva, _ = self.directories[1]
        result = {}
        if rva == 0:
            return result
        at = self.offset(rva)
        thunk_size, ordinal_bit = (8, 1 << 63) if self.pe32plus else (4, 1 << 31)
        while True:
            lookup, _, _, name_rva, first = struct.unpack_from("<IIIII", self.data, at)
            if name_rva == 0:
                return result
            names = result.setdefault(self.text(name_rva).lower(), [])
            t = self.offset(lookup or first)
            while True:
                (entry,) = struct.unpack_from("<Q" if self.pe32plus else "<I", self.data, t)
                if entry == 0:
                    break
                if entry & ordinal_bit:
                    names.append(f"#{entry & 0xFFFF}")
                else:
                    names.append(self.text((entry & 0x7FFFFFFF) + 2))
                t += thunk_size
            at += 20


def read_list(path):
    """The first word of every line that is not blank or a comment."""
    words = set()
    for line in pathlib.Path(path).read_text(encoding="utf-8").splitlines():
        line = line.split("#", 1)[0].strip()
        if line:
            words.add(line.split()[0])
    return words


def check(args):
    exe = pathlib.Path(args.exe)
    data = exe.read_bytes()
    pe = Pe(data)
    name = exe.name
    problems = []
    if args.max_kib is not None and len(data) > args.max_kib * 1024:
        problems.append(f"{name} is {len(data) / 1024:.0f} KiB, more than its {args.max_kib} KiB")
    if args.no_debug_sections:
        debug = [s[0] for s in pe.sections if s[0].startswith((".debug", ".zdebug"))]
        if debug:
            problems.append(f"{name} carries debug sections: {', '.join(debug)}")
    if args.max_os_version:
        limit = tuple(int(p) for p in args.max_os_version.split("."))
        for what, version in (("OS", pe.os_version), ("subsystem", pe.subsystem_version)):
            if version > limit:
                problems.append(f"{name} asks for {what} version {version[0]}.{version[1]}, "
                                f"newer than {args.max_os_version}")
    imports = pe.imports() if args.forbidden_functions or args.allowed_dlls else None
    if args.forbidden_functions:
        forbidden = read_list(args.forbidden_functions)
        for dll, functions in sorted(imports.items()):
            for function in sorted(set(functions) & forbidden):
                problems.append(f"{name} imports {function} from {dll}, which Windows XP SP3 "
                                f"does not have")
    if args.allowed_dlls:
        allowed = {d.lower() for d in read_list(args.allowed_dlls)}
        for dll in sorted(set(imports) - allowed):
            problems.append(f"{name} imports {dll}, which is not a known system DLL: a copy "
                            f"planted beside it would be loaded")
    for line in problems:
        print(f"check_pe: {line}")
    if not problems:
        read = f", imports {', '.join(sorted(imports))}" if imports is not None else ""
        print(f"check_pe: {name}: {len(data) / 1024:.0f} KiB, OS {pe.os_version[0]}."
              f"{pe.os_version[1]}{read}: all rules hold")
    return 1 if problems else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("exe")
    parser.add_argument("--max-kib", type=int)
    parser.add_argument("--max-os-version")
    parser.add_argument("--forbidden-functions")
    parser.add_argument("--allowed-dlls")
    parser.add_argument("--no-debug-sections", action="store_true")
    args = parser.parse_args()
    try:
        return check(args)
    except (OSError, PeError, struct.error, ValueError) as e:
        print(f"check_pe: {args.exe}: {e}")
        return 1


if __name__ == "__main__":
    sys.exit(main())
