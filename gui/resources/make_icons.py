#!/usr/bin/env python3
"""Writes the tray program's two icons, idle.ico and busy.ico, beside this script.

Both show the same globe; the idle one is blue, the busy one amber with a circular arrow around
the globe, so that the two differ clearly in their main colour. Each file holds a 16- and a
32-pixel image, 32 bits per pixel with alpha. Only the Python 3 standard library is used, and the
output depends on nothing but this script, so running it again gives the same bytes.
"""
import math
import struct
from pathlib import Path

SUPERSAMPLE = 4

IDLE = {"globe": (40, 110, 215), "rim": (15, 55, 140), "grid": (190, 220, 255)}
BUSY = {"globe": (245, 160, 20), "rim": (150, 80, 0), "grid": (255, 235, 180), "arrow": (120, 55, 0)}


def globe_coverage(x, y, size, palette, with_arrow):
    """The colour (r, g, b, a) of one sample point, coordinates in pixels of a size x size image."""
    c = size / 2.0
    # At 16 pixels the busy icon is a plain disc inside a thick arrow with a large head, set apart
    # by a gap: thin lines and grid details blur into one brown smudge at that size.
    small = size <= 16
    small_busy = small and with_arrow
    radius = size * (0.27 if small_busy else 0.36 if with_arrow else 0.46)
    dx, dy = x - c, y - c
    dist = math.hypot(dx, dy)
    if with_arrow:
        # A ring around the globe, open at the upper right, with an arrow head at its open end.
        if small_busy:
            ring_r, ring_w, gap_from, gap_to = size * 0.39, 2.3, 10.0, 80.0
        else:
            ring_r, ring_w, gap_from, gap_to = size * 0.45, max(1.0, size * 0.07), 20.0, 75.0
        angle = math.degrees(math.atan2(-dy, dx)) % 360.0
        if abs(dist - ring_r) <= ring_w / 2 and not gap_from < angle < gap_to:
            return palette["arrow"] + (255,)
        # The head: a triangle pointing along the ring (clockwise) at the gap's upper end.
        tip_angle = math.radians(gap_to)
        bx, by = c + ring_r * math.cos(tip_angle), c - ring_r * math.sin(tip_angle)
        head = size * (0.30 if small_busy else 0.17)
        # Direction of travel for a clockwise ring at that point (screen coordinates).
        tx, ty = math.sin(tip_angle), math.cos(tip_angle)
        nx, ny = -ty, tx
        px, py = x - bx, y - by
        along, across = px * tx + py * ty, px * nx + py * ny
        if 0.0 <= along <= head and abs(across) <= (head - along) * 0.8:
            return palette["arrow"] + (255,)
    if dist > radius:
        return (0, 0, 0, 0)
    if small_busy:
        return palette["globe"] + (255,)
    if dist > radius - max(1.0, size * 0.06):
        return palette["rim"] + (255,)
    line = max(0.6, size * 0.035)
    # Equator, two parallels and three meridians (ellipses of varying width); at 16 pixels only
    # the equator and the middle meridian, or the grid would drown the globe's colour.
    for lat in (0.0,) if small else (-0.5, 0.0, 0.5):
        if abs(dy - lat * radius) <= line:
            return palette["grid"] + (255,)
    for k in (0.0,) if small else (0.0, 0.55):
        half_width = k * math.sqrt(max(0.0, radius * radius - dy * dy))
        if abs(abs(dx) - half_width) <= line:
            return palette["grid"] + (255,)
    # A light from the upper left gives the globe some depth.
    shade = 1.0 + 0.25 * (-(dx + dy) / (radius * 1.5))
    return tuple(min(255, int(v * shade)) for v in palette["globe"]) + (255,)


def render(size, palette, with_arrow):
    """Rows of (b, g, r, a) bytes, top row first, anti-aliased by supersampling."""
    rows = []
    n = SUPERSAMPLE
    for py in range(size):
        row = bytearray()
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(n):
                for sx in range(n):
                    r, g, b, a = globe_coverage(px + (sx + 0.5) / n, py + (sy + 0.5) / n, size, palette, with_arrow)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            alpha = acc[3] / (n * n)
            if acc[3]:
                r, g, b = (round(acc[i] / acc[3]) for i in range(3))
            else:
                r = g = b = 0
            row += bytes((b, g, r, round(alpha)))
        rows.append(bytes(row))
    return rows


def icon_image(size, palette, with_arrow):
    """One ICO image: BITMAPINFOHEADER, bottom-up BGRA pixels, then the 1-bit AND mask."""
    rows = render(size, palette, with_arrow)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(reversed(rows))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x in range(size):
            if row[4 * x + 3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + pixels + bytes(mask)


def write_icon(path, palette, with_arrow):
    images = [(size, icon_image(size, palette, with_arrow)) for size in (16, 32)]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    path.write_bytes(bytes(out))


if __name__ == "__main__":
    here = Path(__file__).resolve().parent
    write_icon(here / "idle.ico", IDLE, False)
    write_icon(here / "busy.ico", BUSY, True)
