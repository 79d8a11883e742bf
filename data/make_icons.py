#!/usr/bin/env python3
"""Draws the small icons of the sample books and writes them as PNG files.

Only the standard library is used: the pictures are computed pixel by pixel
and written with zlib and struct. make_books.py imports icon_png() to put the
base64 of these files into the book sources; run this script alone to look at
the pictures:  python3 data/make_icons.py OUTDIR
"""

import math
import os
import struct
import sys
import zlib

SIZE = 32


def _png(pixels, size):
    """Encodes rows of (r, g, b, a) tuples as an 8-bit RGBA PNG."""

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = bytearray()
    for row in pixels:
        raw.append(0)  # filter type: none
        for r, g, b, a in row:
            raw += bytes((r, g, b, a))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def _render(shade, size=SIZE, samples=4):
    """Supersamples shade(x, y) -> (r, g, b, a) over each pixel (x, y in 0..1)."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) / size
                    y = (py + (sy + 0.5) / samples) / size
                    r, g, b, a = shade(x, y)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = samples * samples
            alpha = acc[3] / n
            if alpha > 0:
                colour = [round(acc[i] / acc[3]) for i in range(3)]
            else:
                colour = [0, 0, 0]
            row.append((colour[0], colour[1], colour[2], round(alpha * 255)))
        rows.append(row)
    return rows


CLEAR = (0, 0, 0, 0.0)


def _moon(x, y):
    """A pale golden crescent on a dark blue disc with two small stars."""
    dx, dy = x - 0.5, y - 0.5
    r = math.hypot(dx, dy)
    if r > 0.47:
        return CLEAR
    # the crescent: inside the moon disc, outside the shadow disc shifted right
    in_moon = math.hypot(x - 0.45, y - 0.5) < 0.3
    in_shadow = math.hypot(x - 0.58, y - 0.44) < 0.26
    if in_moon and not in_shadow:
        return (250, 226, 140, 1.0)
    for sx, sy in ((0.72, 0.70), (0.30, 0.24)):
        if abs(x - sx) + abs(y - sy) < 0.045:
            return (255, 255, 230, 1.0)
    if r > 0.44:
        return (70, 80, 150, 1.0)
    return (24, 30, 82, 1.0)


def _eye(x, y):
    """An open eye: almond-shaped white, green iris, dark pupil, dark outline."""
    dx, dy = x - 0.5, y - 0.5
    # the almond: between two circular arcs through (0.06, 0.5) and (0.94, 0.5)
    half_width = 0.44
    if abs(dx) >= half_width:
        return CLEAR
    lid = 0.30 * (1 - (dx / half_width) ** 2)
    if abs(dy) > lid + 0.035:
        return CLEAR
    if abs(dy) > lid - 0.01:
        return (40, 30, 60, 1.0)
    d = math.hypot(dx, dy)
    if d < 0.07:
        return (10, 10, 20, 1.0)
    if d < 0.19:
        if math.hypot(x - 0.45, y - 0.44) < 0.035:
            return (255, 255, 255, 1.0)
        return (40, 140, 110, 1.0)
    return (245, 245, 240, 1.0)


def _house(x, y):
    """A small house on a green disc: red roof with a chimney, cream walls, a lit window."""
    r = math.hypot(x - 0.5, y - 0.5)
    if r > 0.47:
        return CLEAR
    # the roof: a triangle from the ridge (0.5, 0.2) down to the eaves at y = 0.46
    if 0.2 <= y <= 0.46 and abs(x - 0.5) <= (y - 0.2) * 1.25:
        return (170, 48, 36, 1.0)
    if 0.66 <= x <= 0.72 and 0.22 <= y < 0.4:
        return (120, 60, 40, 1.0)  # the chimney, rising out of the roof's right slope
    if 0.3 <= x <= 0.7 and 0.46 < y <= 0.76:
        if 0.36 <= x <= 0.48 and 0.52 <= y <= 0.63:
            if abs(x - 0.42) < 0.01 or abs(y - 0.575) < 0.01:
                return (120, 80, 40, 1.0)  # the window cross
            return (255, 214, 90, 1.0)
        if 0.54 <= x <= 0.64 and 0.56 <= y <= 0.76:
            return (130, 82, 46, 1.0)  # the door
        return (246, 232, 196, 1.0)
    if y > 0.76:
        return (46, 110, 50, 1.0)  # the grass
    if r > 0.44:
        return (40, 100, 56, 1.0)
    return (112, 176, 122, 1.0)


ICONS = {"moon": _moon, "eye": _eye, "house": _house}


def icon_png(name):
    """The PNG bytes of the named icon ("moon", "eye" or "house")."""
    return _png(_render(ICONS[name]), SIZE)


def main(argv):
    outdir = argv[1] if len(argv) > 1 else "."
    os.makedirs(outdir, exist_ok=True)
    for name in ICONS:
        path = os.path.join(outdir, name + ".png")
        with open(path, "wb") as out:
            out.write(icon_png(name))
        print(path)


if __name__ == "__main__":
    main(sys.argv)
