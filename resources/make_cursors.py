#!/usr/bin/env python3
"""Draws the program's cursors and writes them as Windows .cur files.

    python3 resources/make_cursors.py [--preview DIR]

pen.cur: a 16 x 16, 32 bits per pixel pencil whose point is the hot spot (0, 0) in the top-left
corner. The pencil lies on the diagonal; a dark outline around a coloured body keeps it visible
on light and dark backgrounds, and the edges are antialiased through the alpha channel.
--preview also writes an enlarged PNG of each cursor on light and dark backgrounds.
Only the standard library is used, so the output is the same wherever the script runs.
"""

import math
import os
import struct
import sys
import zlib

SIZE = 16
SUBSAMPLES = 8  # per pixel side, for antialiased edges

# Pencil geometry along the diagonal: u runs from the point towards the bottom-right corner, v
# across it (both in pixels). All lengths are of the outer silhouette; the outline lies inside it.
POINT_HALF = 0.35  # half-width of the blunted point, so the hot-spot pixel is well covered
HALF_WIDTH = 2.5  # half-width of the body
CONE_SLOPE = 0.38  # growth of the half-width per pixel along the cone
LENGTH = 18.8  # from the point to the end of the eraser
CORNER = 1.0  # radius of the eraser's rounded corners
OUTLINE = 0.9  # dark outline, inside the silhouette
HALO = 0.7  # light rim outside the silhouette, for dark backgrounds
HALO_OPACITY = 0.8
HALO_COLOR = (0xFF, 0xFF, 0xFF)

CONE_END = (HALF_WIDTH - POINT_HALF) / CONE_SLOPE
LEAD_END = 2.4  # graphite part of the cone
FERRULE_START = LENGTH - 4.0
ERASER_START = LENGTH - 2.2

OUTLINE_COLOR = (0x1C, 0x1C, 0x22)
LEAD = (0x3A, 0x3A, 0x42)
WOOD = (0xF2, 0xCF, 0x9A)
BODY_LIGHT = (0xFF, 0xDC, 0x4A)
BODY = (0xF7, 0xB5, 0x1B)
BODY_DARK = (0xD9, 0x8A, 0x0C)
FERRULE = (0xB8, 0xBC, 0xC4)
ERASER = (0xF0, 0x8C, 0x9A)


def silhouette():
    """The outer outline as a polygon of (u, v) points, counter-clockwise."""
    points = [(0.0, -POINT_HALF), (CONE_END, -HALF_WIDTH)]
    # Rounded corners at the eraser end.
    cu, cv = LENGTH - CORNER, HALF_WIDTH - CORNER
    for i in range(7):
        a = -math.pi / 2 + (math.pi / 2) * i / 6
        points.append((cu + CORNER * math.cos(a), -cv + CORNER * math.sin(a)))
    for i in range(7):
        a = (math.pi / 2) * i / 6
        points.append((cu + CORNER * math.cos(a), cv + CORNER * math.sin(a)))
    points += [(CONE_END, HALF_WIDTH), (0.0, POINT_HALF)]
    return points


def to_uv(x, y):
    s = math.sqrt(0.5)
    return (x + y) * s, (y - x) * s


def inside(polygon, u, v):
    result = False
    n = len(polygon)
    for i in range(n):
        (u1, v1), (u2, v2) = polygon[i], polygon[(i + 1) % n]
        if (v1 > v) != (v2 > v):
            if u < u1 + (v - v1) * (u2 - u1) / (v2 - v1):
                result = not result
    return result


def edge_distance(polygon, u, v):
    best = float("inf")
    n = len(polygon)
    for i in range(n):
        (u1, v1), (u2, v2) = polygon[i], polygon[(i + 1) % n]
        du, dv = u2 - u1, v2 - v1
        t = max(0.0, min(1.0, ((u - u1) * du + (v - v1) * dv) / (du * du + dv * dv)))
        best = min(best, math.hypot(u - u1 - t * du, v - v1 - t * dv))
    return best


def fill_color(u, v):
    """Colour of the pencil's inside at (u, v)."""
    if u < LEAD_END:
        return LEAD
    if u < CONE_END - 0.3:
        return WOOD
    if u >= ERASER_START:
        return ERASER
    if u >= FERRULE_START:
        return FERRULE
    third = (HALF_WIDTH - OUTLINE) / 3
    if v < -third:
        return BODY_LIGHT
    if v > third:
        return BODY_DARK
    return BODY


def sample(polygon, u, v):
    """Colour and opacity at one sample point; opacity 0 outside the pencil and its rim."""
    distance = edge_distance(polygon, u, v)
    if not inside(polygon, u, v):
        return (HALO_COLOR, HALO_OPACITY) if distance < HALO else ((0, 0, 0), 0.0)
    if distance < OUTLINE:
        return OUTLINE_COLOR, 1.0
    # Thin separators where the wood meets the body and where the ferrule starts.
    for edge in (CONE_END - 0.3, FERRULE_START):
        if abs(u - edge) < 0.35:
            return OUTLINE_COLOR, 1.0
    return fill_color(u, v), 1.0


def draw_pen():
    """Rows top to bottom of (r, g, b, a) pixels, straight (not premultiplied) alpha."""
    polygon = silhouette()
    rows = []
    for y in range(SIZE):
        row = []
        for x in range(SIZE):
            total = 0.0
            sums = [0.0, 0.0, 0.0]
            for sy in range(SUBSAMPLES):
                for sx in range(SUBSAMPLES):
                    u, v = to_uv(x + (sx + 0.5) / SUBSAMPLES, y + (sy + 0.5) / SUBSAMPLES)
                    color, opacity = sample(polygon, u, v)
                    total += opacity
                    for i in range(3):
                        sums[i] += color[i] * opacity
            alpha = round(255 * total / SUBSAMPLES**2)
            if alpha == 0:
                row.append((0, 0, 0, 0))
                continue
            r, g, b = (round(c / total) for c in sums)
            row.append((r, g, b, alpha))
        rows.append(row)
    return rows


def cursor_file(rows, hot_x, hot_y):
    """A one-image .cur: colour pixels with alpha, plus the AND mask for systems without alpha."""
    height = len(rows)
    width = len(rows[0])
    xor = bytearray()
    for row in reversed(rows):  # bottom-up
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    mask_stride = ((width + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a < 128:  # transparent where the image is mostly transparent
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0, len(xor) + len(mask),
                         0, 0, 0, 0)
    image = header + xor + mask
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", width, height, 0, 0, hot_x, hot_y, len(image), 6 + 16)
    return directory + entry + image


def png_file(pixels):
    """A PNG of opaque (r, g, b) rows."""
    height, width = len(pixels), len(pixels[0])
    raw = b"".join(b"\0" + bytes(c for p in row for c in p) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def preview(rows, scale=16):
    """The cursor enlarged, over a light and over a dark background, side by side."""
    out = []
    for y in range(len(rows) * scale):
        line = []
        for background in ((0xF4, 0xF4, 0xF4), (0x30, 0x34, 0x3C)):
            for x in range(len(rows[0]) * scale):
                r, g, b, a = rows[y // scale][x // scale]
                line.append(tuple(round((c * a + bg * (255 - a)) / 255)
                                  for c, bg in zip((r, g, b), background)))
        out.append(line)
    return out


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    pen = draw_pen()
    with open(os.path.join(here, "pen.cur"), "wb") as f:
        f.write(cursor_file(pen, 0, 0))
    if len(argv) == 3 and argv[1] == "--preview":
        with open(os.path.join(argv[2], "pen_preview.png"), "wb") as f:
            f.write(png_file(preview(pen)))
    elif len(argv) != 1:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
