#!/usr/bin/env python3
"""Draws ui/icons/quarnell-verify.svg as a 48x48 PNG (standard library only)."""
import struct
import sys
import zlib

SIZE = 48
SAMPLES = 4  # per pixel and axis

BACKGROUND = (0x23, 0x39, 0x5D)
PAPER = (0xF4, 0xF1, 0xE8)
GREEN = (0x5F, 0xD0, 0x68)


def in_rounded_rect(x, y, left, top, width, height, radius):
    if not (left <= x <= left + width and top <= y <= top + height):
        return False
    cx = min(max(x, left + radius), left + width - radius)
    cy = min(max(y, top + radius), top + height - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def near_segment(x, y, a, b, half_width):
    (ax, ay), (bx, by) = a, b
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    px, py = ax + t * dx, ay + t * dy
    return (x - px) ** 2 + (y - py) ** 2 <= half_width ** 2


def colour_at(x, y):
    """The colour of the drawing at (x, y), or None where it is transparent."""
    colour = None
    if in_rounded_rect(x, y, 2, 2, 44, 44, 8):
        colour = BACKGROUND
    if 21 <= x <= 24 and 10 <= y <= 31:
        colour = PAPER
    if 21 <= x <= 32 and 10 <= y <= 13:
        colour = PAPER
    if (x - 18) ** 2 + (y - 31) ** 2 <= 25:
        colour = PAPER
    check = [(26, 34), (31, 39), (41, 26)]
    if near_segment(x, y, check[0], check[1], 2) or near_segment(x, y, check[1], check[2], 2):
        colour = GREEN
    return colour


def pixel(px, py):
    total = [0, 0, 0]
    covered = 0
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            c = colour_at(px + (sx + 0.5) / SAMPLES, py + (sy + 0.5) / SAMPLES)
            if c is not None:
                covered += 1
                for i in range(3):
                    total[i] += c[i]
    if covered == 0:
        return (0, 0, 0, 0)
    alpha = round(255 * covered / (SAMPLES * SAMPLES))
    return tuple(round(t / covered) for t in total) + (alpha,)


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png_bytes():
    rows = b""
    for y in range(SIZE):
        rows += b"\x00" + b"".join(bytes(pixel(x, y)) for x in range(SIZE))
    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "ui/icons/quarnell-verify-48.png"
    with open(out, "wb") as f:
        f.write(png_bytes())
