#!/usr/bin/env python3
"""Draws the installer's artwork and writes it as Windows resource files.

    resources/tamrick.ico  the program's icon: a software box with a disc, in nine images
                           (16, 24, 32 px x 16 colours, 256 colours, 32-bit with alpha)
    resources/hand.cur     the banner's pointing hand, 32 x 32, 16 colours, hot spot (5, 0)
    resources/banner.bmp   the design-time banner, 420 x 78, 16 bits per pixel (5-5-5)

The build uses the checked-in files; run this only to change the artwork. The banner's
lettering is rendered by ImageMagick (`convert`), everything else is plain Python.
"""

import math
import os
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
LATIN_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
CJK = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"

# The 16 colours of the standard Windows palette.
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
# 256 colours: a 6 x 6 x 6 colour cube and 40 greys.
PALETTE256 = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
PALETTE256 += [(round(i * 255 / 41),) * 3 for i in range(1, 41)]


# --- Drawing -------------------------------------------------------------------------------


def inside_polygon(x, y, points):
    result = False
    j = len(points) - 1
    for i, (xi, yi) in enumerate(points):
        xj, yj = points[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            result = not result
        j = i
    return result


def mix(a, b, t):
    return tuple(a[k] + (b[k] - a[k]) * t for k in range(3))


def icon_scene(u, v):
    """The icon's colour at (u, v) in 0..1 units, or None where it is transparent."""
    # The disc, behind the box's front and sticking out above its top right.
    cx, cy, radius = 0.58, 0.31, 0.29
    d = math.hypot(u - cx, v - cy)
    front = [(0.06, 0.52), (0.62, 0.52), (0.62, 0.96), (0.06, 0.96)]
    side = [(0.62, 0.52), (0.90, 0.40), (0.90, 0.84), (0.62, 0.96)]
    top = [(0.06, 0.52), (0.34, 0.40), (0.90, 0.40), (0.62, 0.52)]
    outline = 0.035
    for poly, colour in ((front, (20, 140, 150)), (side, (10, 90, 100)), (top, (90, 200, 205))):
        if inside_polygon(u, v, poly):
            if poly is front:
                # A label band across the box's front.
                if 0.64 < v < 0.78:
                    return (250, 200, 60)
                if u < 0.06 + outline or u > 0.62 - outline or v > 0.96 - outline:
                    return (8, 50, 56)
            return colour
    if d <= radius:
        if d < 0.05:
            return None
        if d < 0.09 or d > radius - 0.03:
            return (110, 110, 125)
        angle = math.atan2(v - cy, u - cx)
        sheen = 0.5 + 0.5 * math.sin(angle * 2.0)
        return mix((200, 205, 220), (245, 245, 255), sheen)
    return None


def render(scene, size, supersample=4):
    """RGBA rows, top-down, anti-aliased by supersampling."""
    rows = []
    n = supersample * supersample
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0.0, 0.0, 0.0]
            hits = 0
            for sy in range(supersample):
                for sx in range(supersample):
                    c = scene((x + (sx + 0.5) / supersample) / size,
                              (y + (sy + 0.5) / supersample) / size)
                    if c is not None:
                        hits += 1
                        for k in range(3):
                            acc[k] += c[k]
            if hits:
                row.append(tuple(round(acc[k] / hits) for k in range(3)) + (round(255 * hits / n),))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def nearest(colour, palette):
    return min(range(len(palette)),
               key=lambda i: sum((colour[k] - palette[i][k]) ** 2 for k in range(3)))


# --- Icon and cursor files -------------------------------------------------------------------


def pad4(data):
    return data + b"\0" * (-len(data) % 4)


def dib_image(rows, bits):
    """A DIB as an icon or cursor resource holds it: header, palette, colour bits, AND mask."""
    size = len(rows)
    palette = {4: VGA16, 8: PALETTE256}.get(bits, [])
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, 0, 0, 0,
                         len(palette), 0)
    data = bytearray(header)
    for r, g, b in palette:
        data += struct.pack("<BBBB", b, g, r, 0)
    colour_rows = []
    mask_rows = []
    for row in reversed(rows):  # bottom-up
        line = bytearray()
        mask = 0
        mask_line = bytearray()
        indexes = []
        for x, (r, g, b, a) in enumerate(row):
            opaque = a >= 128
            if bits == 32:
                line += struct.pack("<BBBB", b, g, r, a)
            else:
                indexes.append(nearest((r, g, b), palette) if opaque else 0)
            mask = (mask << 1) | (0 if opaque else 1)
            if x % 8 == 7:
                mask_line.append(mask)
                mask = 0
        if bits == 8:
            line = bytearray(indexes)
        elif bits == 4:
            line = bytearray((indexes[i] << 4) | indexes[i + 1] for i in range(0, size, 2))
        colour_rows.append(pad4(bytes(line)))
        mask_rows.append(pad4(bytes(mask_line)))
    data += b"".join(colour_rows) + b"".join(mask_rows)
    return bytes(data)


def icon_file(images, kind=1, hotspot=(0, 0)):
    """An .ico (kind 1) or .cur (kind 2) file from (rows, bits) pairs."""
    out = struct.pack("<HHH", 0, kind, len(images))
    offset = 6 + 16 * len(images)
    blobs = []
    for rows, bits in images:
        blob = dib_image(rows, bits)
        size = len(rows)
        colours = 16 if bits == 4 else 0
        planes, bitcount = (hotspot if kind == 2 else (1, bits))
        out += struct.pack("<BBBBHHII", size % 256, size % 256, colours, 0, planes, bitcount,
                           len(blob), offset)
        offset += len(blob)
        blobs.append(blob)
    return out + b"".join(blobs)


def hand_rows():
    """A pointing hand: black outline, white fill, the index finger's tip at (5, 0)."""
    size = 32

    def filled(x, y):
        # The index finger, rounded at the top.
        if 3 <= x <= 8 and 1 <= y <= 16:
            return y >= 2 or 4 <= x <= 7
        # Three folded fingers, each a rounded knuckle.
        for left, top in ((8, 9), (13, 10), (18, 12)):
            if left <= x <= left + 5 and top <= y <= 20:
                return y > top or left + 1 <= x <= left + 4
        # The thumb, reaching out to the left.
        if 0 <= x <= 3 and 13 <= y <= 20:
            return not (x == 0 and y in (13, 20))
        # The palm and the wrist.
        if 3 <= x <= 23 and 16 <= y <= 26:
            return not (x == 23 and y == 26)
        if 6 <= x <= 21 and 26 <= y <= 30:
            return True
        return False

    def edge(x, y):
        return any(not (0 <= x + dx < size and 0 <= y + dy < size and filled(x + dx, y + dy))
                   for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))

    # The creases between the folded fingers.
    creases = {(13, y) for y in range(11, 17)} | {(18, y) for y in range(12, 17)}
    creases |= {(8, y) for y in range(10, 17)}
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            if not filled(x, y):
                row.append((0, 0, 0, 0))
            elif edge(x, y) or (x, y) in creases:
                row.append((0, 0, 0, 255))
            else:
                row.append((255, 255, 255, 255))
        rows.append(row)
    # The hot spot is the finger's tip: make sure it is a visible pixel of the outline.
    rows[0][5] = (0, 0, 0, 255)
    return rows


# --- The banner --------------------------------------------------------------------------------


def read_bmp24(path):
    with open(path, "rb") as f:
        data = f.read()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bits = struct.unpack_from("<H", data, 28)[0]
    if bits != 24:
        raise SystemExit(f"{path}: expected a 24-bit BMP, got {bits} bits")
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(abs(height)):
        src = y if height < 0 else abs(height) - 1 - y
        base = offset + src * stride
        rows.append([(data[base + 3 * x + 2], data[base + 3 * x + 1], data[base + 3 * x])
                     for x in range(width)])
    return rows


def write_bmp555(path, rows):
    """A 16-bit BI_RGB bitmap (5-5-5), bottom-up, ordered-dithered from 8 bits per channel."""
    bayer = [[0, 8, 2, 10], [12, 4, 14, 6], [3, 11, 1, 9], [15, 7, 13, 5]]
    height, width = len(rows), len(rows[0])
    stride = (width * 2 + 3) & ~3
    pixels = bytearray()
    for y in range(height - 1, -1, -1):
        line = bytearray()
        for x, (r, g, b) in enumerate(rows[y]):
            t = (bayer[y % 4][x % 4] + 0.5) / 16 * 8

            def q(c):
                return min(31, int((c + t) / 8))

            line += struct.pack("<H", (q(r) << 10) | (q(g) << 5) | q(b))
        pixels += pad4(bytes(line))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 16, 0, len(pixels), 3780, 3780,
                         0, 0)
    file_header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 14 + 40)
    with open(path, "wb") as f:
        f.write(file_header + header + pixels)


def teal_pattern(width, height):
    """A dark teal lattice of small diamonds with a soft light from the left."""
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            base = mix((6, 58, 64), (4, 36, 42), x / width)
            u, v = x % 14 - 7, y % 14 - 7
            if abs(u) + abs(v) == 6:
                base = mix(base, (40, 120, 122), 0.45)
            elif abs(u) + abs(v) <= 1:
                base = mix(base, (60, 150, 150), 0.35)
            row.append(tuple(round(c) for c in base))
        rows.append(row)
    return rows


def write_bmp24(path, rows):
    height, width = len(rows), len(rows[0])
    stride = (width * 3 + 3) & ~3
    pixels = bytearray()
    for y in range(height - 1, -1, -1):
        pixels += pad4(bytes(c for r, g, b in rows[y] for c in (b, g, r)))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, stride * height, 0, 0, 0,
                         0)
    with open(path, "wb") as f:
        f.write(struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54) + header + pixels)


def banner(path):
    width, height = 420, 78
    with tempfile.TemporaryDirectory() as tmp:
        background = os.path.join(tmp, "background.bmp")
        lettered = os.path.join(tmp, "lettered.bmp")
        write_bmp24(background, teal_pattern(width, height))
        subprocess.run([
            "convert", background,
            # A box-and-disc emblem at the left, from the icon's own drawing.
            "-fill", "#0b4a50", "-stroke", "#5fc8c8", "-strokewidth", "2",
            "-draw", "roundrectangle 14,11 70,67 8,8",
            "-stroke", "none", "-fill", "#f5c84a", "-draw", "rectangle 22,40 62,48",
            "-fill", "#dfe6f0", "-draw", "circle 50,28 50,13",
            "-fill", "#0b4a50", "-draw", "circle 50,28 50,24",
            "-font", LATIN_BOLD, "-pointsize", "30", "-fill", "#e6f6f3",
            "-annotate", "+86+40", "Tamrick",
            "-font", CJK, "-pointsize", "15", "-fill", "#f5c84a",
            "-annotate", "+88+63", "CorelDRAW 插件安装程序",
            "-fill", "#7fd0cc", "-draw", "rectangle 86,47 404,48",
            "-type", "TrueColor", "BMP3:" + lettered,
        ], check=True)
        write_bmp555(path, read_bmp24(lettered))


def main():
    images = [(render(icon_scene, size), bits) for bits in (4, 8, 32) for size in (16, 24, 32)]
    with open(os.path.join(HERE, "tamrick.ico"), "wb") as f:
        f.write(icon_file(images))
    with open(os.path.join(HERE, "hand.cur"), "wb") as f:
        f.write(icon_file([(hand_rows(), 4)], kind=2, hotspot=(5, 0)))
    banner(os.path.join(HERE, "banner.bmp"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
