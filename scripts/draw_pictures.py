#!/usr/bin/env python3
"""Draws the program's pictures: the window icon "AAA" in four sizes and the picture of the splash and
About windows, a guild coffer (a banded chest) with gold coins. Standard library only; the PNG files it
writes are committed under resources/, so run it again only to change the drawing."""

import math
import struct
import sys
import zlib
from pathlib import Path

SUPERSAMPLE = 4


def rounded_box(px, py, x0, y0, x1, y1, r):
    """Signed distance to a rounded rectangle (negative inside)."""
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r
    qx, qy = abs(px - cx) - hx, abs(py - cy) - hy
    outside = math.hypot(max(qx, 0), max(qy, 0))
    return outside + min(max(qx, qy), 0) - r


def circle(px, py, cx, cy, r):
    return math.hypot(px - cx, py - cy) - r


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(4))


def shade(u, v, background):
    """Colour (r, g, b, a in 0..1) at a point of the unit square; `background` fills the tile."""
    colour = (0, 0, 0, 0)
    if background:
        if rounded_box(u, v, 0.02, 0.02, 0.98, 0.98, 0.18) < 0:
            colour = mix((0.10, 0.32, 0.36, 1), (0.04, 0.16, 0.22, 1), v)
    # Chest body and lid.
    if rounded_box(u, v, 0.18, 0.46, 0.82, 0.84, 0.04) < 0:
        colour = mix((0.60, 0.36, 0.16, 1), (0.42, 0.24, 0.10, 1), (v - 0.46) / 0.38)
    if rounded_box(u, v, 0.16, 0.30, 0.84, 0.50, 0.10) < 0:
        colour = mix((0.72, 0.46, 0.22, 1), (0.55, 0.33, 0.14, 1), (v - 0.30) / 0.20)
    # Iron bands and the lock.
    for x in (0.27, 0.73):
        if abs(u - x) < 0.035 and 0.30 < v < 0.84:
            colour = (0.30, 0.30, 0.34, 1)
    if abs(v - 0.49) < 0.02 and 0.16 < u < 0.84:
        colour = (0.30, 0.30, 0.34, 1)
    if rounded_box(u, v, 0.44, 0.44, 0.56, 0.60, 0.02) < 0:
        colour = (0.93, 0.76, 0.24, 1)
    if circle(u, v, 0.50, 0.51, 0.018) < 0:
        colour = (0.25, 0.18, 0.06, 1)
    # Coins spilling in front.
    for cx, cy in ((0.28, 0.86), (0.40, 0.89), (0.64, 0.88), (0.75, 0.85)):
        d = circle(u, v, cx, cy, 0.075)
        if d < 0:
            colour = (0.78, 0.58, 0.12, 1) if d > -0.018 else mix((1.0, 0.86, 0.35, 1), (0.90, 0.70, 0.18, 1), (v - cy + 0.06) / 0.12)
    return colour


def render(width, height, background, square):
    """RGBA rows; `square` is the side of the drawing, centred in the image."""
    ox, oy = (width - square) / 2, (height - square) / 2
    rows = []
    n = SUPERSAMPLE
    for y in range(height):
        row = bytearray()
        for x in range(width):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(n):
                for sx in range(n):
                    u = (x - ox + (sx + 0.5) / n) / square
                    v = (y - oy + (sy + 0.5) / n) / square
                    r, g, b, a = shade(u, v, background) if 0 <= u <= 1 and 0 <= v <= 1 else (0, 0, 0, 0)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            alpha = acc[3] / (n * n)
            if acc[3] > 0:
                row += bytes(round(255 * c / acc[3]) for c in acc[:3])
            else:
                row += b"\0\0\0"
            row.append(round(255 * alpha))
        rows.append(bytes(row))
    return rows


def write_png(path, width, height, rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    raw = b"".join(b"\0" + row for row in rows)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    path.write_bytes(png)


def main():
    root = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "resources"
    for size in (16, 32, 48, 256):
        write_png(root / "AAA" / f"{size}.png", size, size, render(size, size, True, size))
    write_png(root / "pictures" / "program.png", 200, 200, render(200, 200, True, 200))


if __name__ == "__main__":
    main()
