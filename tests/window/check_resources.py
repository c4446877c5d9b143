#!/usr/bin/env python3
"""Checks that an installer executable carries its resources, by reading the file itself (so it
works for the 32-bit build, which can't run here): the nine-image icon, the hand cursor 101, the
design-time banner, the version record and the manifest.

    check_resources.py TamrickInstaller.exe
"""

import pathlib
import struct
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "packaging"))
from check_pe import Pe, PeError  # noqa: E402  the one reader of PE headers

RT_CURSOR, RT_BITMAP, RT_ICON = 1, 2, 3
RT_GROUP_CURSOR, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 12, 14, 16, 24


def resources(data):
    """{(type, id): bytes} of the first language of every resource with a numeric type and id."""
    try:
        pe = Pe(data)
        if pe.directories[2][0] == 0:
            raise PeError("the file has no resources")
        base = pe.offset(pe.directories[2][0])
    except PeError as e:
        raise SystemExit(str(e))
    offset = pe.offset

    def entries(at):
        named, numbered = struct.unpack_from("<HH", data, base + at + 12)
        for i in range(named + numbered):
            name, target = struct.unpack_from("<II", data, base + at + 16 + 8 * i)
            yield name, target

    found = {}
    for type_id, types in entries(0):
        for res_id, ids in entries(types & 0x7FFFFFFF):
            if type_id & 0x80000000 or res_id & 0x80000000:
                continue
            _, leaf = next(entries(ids & 0x7FFFFFFF))
            rva, size = struct.unpack_from("<II", data, base + leaf)
            found[(type_id, res_id)] = data[offset(rva):offset(rva) + size]
    return found


def main():
    with open(sys.argv[1], "rb") as f:
        res = resources(f.read())
    failures = []

    def check(condition, what):
        if not condition:
            failures.append(what)

    # The icon: 16, 24 and 32 pixels, each in 16 colours, 256 colours and 32-bit colour.
    group = res.get((RT_GROUP_ICON, 1))
    check(group is not None, "icon group 1 is missing")
    if group:
        count = struct.unpack_from("<H", group, 4)[0]
        images = set()
        for i in range(count):
            w, h, _, _, _, bits, _, icon_id = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
            icon = res.get((RT_ICON, icon_id), b"")
            header = struct.unpack_from("<Iii", icon, 0) if len(icon) >= 12 else (0, 0, 0)
            check(header[1:] == (w, 2 * h), f"icon image {icon_id} does not match its entry")
            images.add((w, h, bits))
        check(images == {(s, s, b) for s in (16, 24, 32) for b in (4, 8, 32)},
              f"icon images are {sorted(images)}")

    # The hand cursor: one 32 x 32 image with 16 colours, hot spot at the fingertip.
    group = res.get((RT_GROUP_CURSOR, 101))
    check(group is not None, "cursor 101 is missing")
    if group:
        count = struct.unpack_from("<H", group, 4)[0]
        check(count == 1, f"cursor 101 has {count} images")
        cursor_id = struct.unpack_from("<H", group, 6 + 12)[0]
        cursor = res.get((RT_CURSOR, cursor_id), b"")
        hot_x, hot_y, _, width, height, _, bits = struct.unpack_from("<HHIiiHH", cursor, 0)
        check((hot_x, hot_y) == (5, 0), f"cursor hot spot is ({hot_x}, {hot_y})")
        check((width, height, bits) == (32, 64, 4), f"cursor is {width}x{height // 2}x{bits}")

    # The design-time banner: 420 x 78, 16 bits per pixel, uncompressed (5-5-5).
    banner = res.get((RT_BITMAP, 201), b"")
    check(len(banner) >= 40, "banner bitmap 201 is missing")
    if banner:
        _, width, height, _, bits, compression = struct.unpack_from("<IiiHHI", banner, 0)
        check((width, abs(height), bits, compression) == (420, 78, 16, 0),
              f"banner is {width}x{height}x{bits}, compression {compression}")

    # The version record: file and product version 1.0.0.30.
    version = res.get((RT_VERSION, 1), b"")
    fixed = version.find(struct.pack("<I", 0xFEEF04BD))
    check(fixed >= 0, "version record is missing")
    if fixed >= 0:
        file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<IIII", version, fixed + 8)
        check((file_ms, file_ls) == (0x10000, 30), "file version is not 1.0.0.30")
        check((product_ms, product_ls) == (0x10000, 30), "product version is not 1.0.0.30")
        for key in ("FileVersion", "ProductVersion"):
            check(f"{key}\0".encode("utf-16-le") in version and
                  "1.0.0.30".encode("utf-16-le") in version, f"{key} string is missing")

    # The manifest.
    manifest = res.get((RT_MANIFEST, 1), b"").decode("utf-8", "replace")
    for needed in ('name="Microsoft.Windows.Common-Controls" version="6.0.0.0"',
                   'level="highestAvailable"', ">true/pm<", ">PerMonitorV2, PerMonitor<",
                   "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"):
        check(needed in " ".join(manifest.split()), f"manifest lacks {needed}")

    for failure in failures:
        print(f"{sys.argv[1]}: {failure}")
    if not failures:
        print(f"{sys.argv[1]}: icon, cursor 101, banner, version 1.0.0.30 and manifest present")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
