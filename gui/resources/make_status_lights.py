#!/usr/bin/env python3
"""Writes service_lights.bmp beside this script: the Misc page's status light, a strip of four
16 x 16 images side by side (stopped, running, paused, not installed or unknown).

Each image is a shaded disc with a sign on it: a red disc with a white square (stopped), a green
one with a white triangle (running), an amber one with two white bars (paused) and a grey one with
a white question mark (not installed or unknown). The background is magenta (255, 0, 255), which
the status light leaves transparent. Edges are not blended into the background, so no pinkish
fringe remains once it is taken out. 24 bits per pixel, standard library only, same bytes on
every run.
"""
import struct
from pathlib import Path

SIZE = 16
BACKGROUND = (255, 0, 255)
WHITE = (255, 255, 255)

DISCS = [(200, 30, 30), (30, 160, 50), (230, 150, 10), (130, 130, 130)]

QUESTION_MARK = [
    "..###..",
    ".#...#.",
    ".....#.",
    "....#..",
    "...#...",
    ".......",
    "...#...",
]


def sign_pixel(kind, x, y):
    """Whether pixel (x, y) of image `kind` belongs to its white sign."""
    if kind == 0:
        return 5 <= x <= 10 and 5 <= y <= 10
    if kind == 1:
        # A triangle pointing right, its left edge at x = 6.
        return 6 <= x <= 11 and abs(y - 7.5) <= (11.5 - x) * 0.75
    if kind == 2:
        return 5 <= y <= 10 and (5 <= x <= 6 or 9 <= x <= 10)
    row, col = y - 4, x - 4
    return 0 <= row < len(QUESTION_MARK) and 0 <= col < 7 and QUESTION_MARK[row][col] == "#"


def pixel(kind, x, y):
    dx, dy = x + 0.5 - SIZE / 2, y + 0.5 - SIZE / 2
    if dx * dx + dy * dy > 7.3 * 7.3:
        return BACKGROUND
    if sign_pixel(kind, x, y):
        return WHITE
    # Lighter towards the upper left, darker towards the lower right.
    shade = 1.0 + (-(dx + dy) / 16.0) * 0.35
    return tuple(max(0, min(254, int(c * shade))) for c in DISCS[kind])


def write_strip(path):
    width = SIZE * len(DISCS)
    row_bytes = (width * 3 + 3) & ~3
    pixels = bytearray()
    for y in reversed(range(SIZE)):  # bottom-up rows
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x // SIZE, x % SIZE, y)
            row += bytes((b, g, r))
        pixels += row + bytes(row_bytes - len(row))
    info = struct.pack("<IiiHHIIiiII", 40, width, SIZE, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    path.write_bytes(header + info + bytes(pixels))


if __name__ == "__main__":
    write_strip(Path(__file__).resolve().parent / "service_lights.bmp")
