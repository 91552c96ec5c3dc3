#!/usr/bin/env python3
"""Draws the workbench's main icon and writes it as a Windows .ico file.

Images of 16, 24, 32, 48 and 256 pixels, all 32 bits per pixel with alpha:
the small ones as bottom-up BGRA bitmaps, the 256-pixel one as PNG.
Usage: make-icon.py OUTPUT.ico
"""
import struct
import sys
import zlib

SIZES = (16, 24, 32, 48, 256)
SUPERSAMPLE = 4


def coverage(x, y):
    """Colour (r, g, b, a) of the artwork at (x, y) in the unit square."""
    # A rounded square in deep blue, a white ring with a tail (the Q), and a green
    # play triangle inside it (Run).
    r = 0.18
    dx = max(abs(x - 0.5) - (0.5 - r) + 0.02, 0.0)
    dy = max(abs(y - 0.5) - (0.5 - r) + 0.02, 0.0)
    if dx * dx + dy * dy > r * r:
        return None
    cx, cy = x - 0.47, y - 0.47
    dist = (cx * cx + cy * cy) ** 0.5
    if 0.24 <= dist <= 0.33:
        return (255, 255, 255, 255)
    if 0.60 <= x <= 0.84 and abs((y - x) - 0.0) <= 0.055 and y >= 0.60:
        return (255, 255, 255, 255)
    # play triangle: tip at the right
    if 0.38 <= x <= 0.62:
        half = (0.62 - x) * 0.55
        if abs(y - 0.47) <= half:
            return (76, 200, 96, 255)
    shade = int(150 - 70 * y)
    return (28, 70, shade + 60, 255)


def render(size):
    rows = []
    n = SUPERSAMPLE
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(n):
                for sx in range(n):
                    c = coverage((px + (sx + 0.5) / n) / size, (py + (sy + 0.5) / n) / size)
                    if c:
                        a = c[3]
                        acc[0] += c[0] * a
                        acc[1] += c[1] * a
                        acc[2] += c[2] * a
                        acc[3] += a
            alpha = acc[3] / (n * n)
            if acc[3]:
                row.append((acc[0] // acc[3], acc[1] // acc[3], acc[2] // acc[3], int(round(alpha))))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def bmp_image(size, rows):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytes(mask_stride * size)
    return header + bytes(pixels) + mask


def png_image(size, rows):
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for r, g, b, a in row:
            raw += bytes((r, g, b, a))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    ihdr = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b"")


def main(path):
    images = []
    for size in SIZES:
        rows = render(size)
        images.append((size, png_image(size, rows) if size >= 256 else bmp_image(size, rows)))
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in images:
        dim = 0 if size >= 256 else size
        out += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1])
