#!/usr/bin/env python3
"""Draws the application icon (an open book on the shop's orange) as PNG files.

The icons are committed; run this again only to change them:
    python3 packaging/draw-icon.py SIZE OUT.png [SIZE OUT.png ...]
Standard library only, with 4x4 supersampling for smooth edges.
"""
import struct
import sys
import zlib

ORANGE = (255, 80, 0)
WHITE = (255, 255, 255)
SPINE = (210, 60, 0)


def inside_rounded(x, y, r):
    """Unit square with rounded corners of radius r."""
    cx = min(max(x, r), 1 - r)
    cy = min(max(y, r), 1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def colour_at(x, y):
    """Colour of the point (x, y) in [0, 1]^2, or None outside the icon."""
    if not inside_rounded(x, y, 0.18):
        return None
    # Two pages, each a slanted quadrilateral meeting at the spine x = 0.5.
    sag = 0.05 * (1 - abs(x - 0.5) / 0.32)
    top = 0.28 + sag
    bottom = 0.74 + sag
    if 0.18 <= x <= 0.82 and top <= y <= bottom:
        if abs(x - 0.5) < 0.012:
            return SPINE
        # Text lines on the pages.
        for k in range(4):
            ly = top + 0.09 + k * 0.09
            if abs(y - ly) < 0.012 and 0.24 <= x <= 0.82 - 0.06 and abs(x - 0.5) > 0.05:
                return (255, 190, 150)
        return WHITE
    return ORANGE


def draw(size):
    rows = []
    n = 4
    for py in range(size):
        row = bytearray([0])
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(n):
                for sx in range(n):
                    c = colour_at((px + (sx + 0.5) / n) / size, (py + (sy + 0.5) / n) / size)
                    if c is not None:
                        acc[0] += c[0]
                        acc[1] += c[1]
                        acc[2] += c[2]
                        acc[3] += 1
            if acc[3]:
                row += bytes([acc[0] // acc[3], acc[1] // acc[3], acc[2] // acc[3],
                              255 * acc[3] // (n * n)])
            else:
                row += bytes([0, 0, 0, 0])
        rows.append(bytes(row))
    raw = b"".join(rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    args = sys.argv[1:]
    if not args or len(args) % 2:
        sys.exit(__doc__)
    for i in range(0, len(args), 2):
        with open(args[i + 1], "wb") as f:
            f.write(draw(int(args[i])))
