#!/usr/bin/env python3
"""Draws the player's icon, in the style of its start-up logo: a rounded dark
tile, the outline of a cube seen from a corner, and over it a "V" in rounded
green strokes with a soft shadow. Writes vekta-SIZE.png (RGBA) beside this
script for every size the desktop asks for. Only the Python standard
library is used; run it from anywhere to rewrite the pictures."""

import math
import os
import struct
import zlib

SIZES = (256, 128, 48)
TOP, BOTTOM = (168, 214, 76), (104, 156, 46)  # letter colour, top to bottom
TILE_TOP, TILE_BOTTOM = (52, 60, 50), (24, 28, 24)
CUBE = (120, 140, 112)  # the cube's lines
SHADOW = (10, 14, 10, 0.45)


def cube():
    """The edges of a cube seen from a corner, in a 1 x 1 box, y downwards:
    the outline is a hexagon, and three edges meet in its middle."""
    c, r = (0.5, 0.5), 0.34
    corners = []
    for k in range(6):
        a = math.radians(-90 + 60 * k)
        corners.append((c[0] + r * math.cos(a), c[1] + r * math.sin(a)))
    edges = [(corners[k], corners[(k + 1) % 6]) for k in range(6)]
    edges += [(c, corners[1]), (c, corners[3]), (c, corners[5])]
    return edges


LETTER = [((0.28, 0.22), (0.5, 0.78)), ((0.5, 0.78), (0.72, 0.22))]


def distance(px, py, segment):
    (x0, y0), (x1, y1) = segment
    vx, vy = x1 - x0, y1 - y0
    length2 = vx * vx + vy * vy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((px - x0) * vx + (py - y0) * vy) / length2))
    ex, ey = px - (x0 + t * vx), py - (y0 + t * vy)
    return math.sqrt(ex * ex + ey * ey)


def stroke(px, py, segments, width, size):
    """How much of the pixel at (px, py) strokes of that width (in units of
    the icon) cover."""
    d = min(distance(px, py, s) for s in segments) * size
    return max(0.0, min(1.0, width * size / 2 - d + 0.5))


def tile(px, py, size):
    """The coverage of the rounded tile."""
    margin, radius = 0.04, 0.18
    qx = max(abs(px - 0.5) - (0.5 - margin - radius), 0.0)
    qy = max(abs(py - 0.5) - (0.5 - margin - radius), 0.0)
    d = (math.sqrt(qx * qx + qy * qy) - radius) * size
    return max(0.0, min(1.0, 0.5 - d))


def over(top, alpha, under):
    return [top[i] * alpha + under[i] * (1 - alpha) for i in range(3)]


def render(size):
    edges = cube()
    letter_width = 0.11
    rows = []
    for y in range(size):
        row = bytearray()
        for x in range(size):
            px, py = (x + 0.5) / size, (y + 0.5) / size
            a = tile(px, py, size)
            if a == 0:
                row += bytes(4)
                continue
            colour = over(TILE_TOP, 1 - py, TILE_BOTTOM)
            colour = over(CUBE, stroke(px, py, edges, 0.025, size) * 0.8, colour)
            shadow = stroke(px - 0.02, py - 0.02, LETTER, letter_width, size) * SHADOW[3]
            colour = over(SHADOW, shadow, colour)
            green = over(TOP, 1 - py, BOTTOM)
            colour = over(green, stroke(px, py, LETTER, letter_width, size), colour)
            row += bytes(int(round(c)) for c in colour) + bytes([int(round(a * 255))])
        rows.append(bytes(row))
    return rows


def png(rows, size):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + r for r in rows)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) +
            chunk(b"IEND", b""))


if __name__ == "__main__":
    folder = os.path.dirname(os.path.abspath(__file__))
    for size in SIZES:
        with open(os.path.join(folder, "vekta-%d.png" % size), "wb") as out:
            out.write(png(render(size), size))
