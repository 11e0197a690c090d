#!/usr/bin/env python3
"""Draws the player's start-up logo, vekta-logo.png: the word "Vekta" in
rounded green strokes with a soft shadow, 512 x 128 RGBA on a transparent
ground. Only the Python standard library is used; run it from anywhere to
rewrite the PNG beside it."""

import math
import os
import struct
import zlib

WIDTH, HEIGHT = 512, 128
STROKE = 13.0  # stroke width in pixels
TOP, BOTTOM = (168, 214, 76), (104, 156, 46)  # letter colour, top to bottom
SHADOW = (20, 30, 20, 0.35)  # colour and opacity of the shadow
SHADOW_OFFSET = (3.0, 3.0)


def arc(cx, cy, r, start, end, steps=24):
    """Points of a circular arc, angles in degrees, y downwards."""
    points = []
    for i in range(steps + 1):
        a = math.radians(start + (end - start) * i / steps)
        points.append((cx + r * math.cos(a), cy - r * math.sin(a)))
    return points


def letters():
    """The strokes of the word as polylines, in a box 128 pixels high."""
    baseline, xheight, cap = 100.0, 56.0, 20.0
    strokes = [
        [(20, cap), (50, baseline), (80, cap)],  # V
        [(98, 78), (142, 78)] + arc(120, 78, 22, 0, 320),  # e
        [(162, 14), (162, baseline)],  # k
        [(196, xheight), (166, 82)],
        [(174, 76), (200, baseline)],
        [(224, 30), (224, 88)] + arc(236, 88, 12, 180, 270, 8),  # t
        [(210, xheight + 2), (240, xheight + 2)],
        arc(274, 78, 22, 0, 360, 32),  # a
        [(296, xheight), (296, baseline)],
    ]
    # Centre the word.
    xs = [x for s in strokes for x, _ in s]
    ys = [y for s in strokes for _, y in s]
    dx = (WIDTH - (max(xs) + min(xs))) / 2
    dy = (HEIGHT - (max(ys) + min(ys))) / 2
    segments = []
    for s in strokes:
        for (x0, y0), (x1, y1) in zip(s, s[1:]):
            segments.append((x0 + dx, y0 + dy, x1 + dx, y1 + dy))
    return segments


def distance(px, py, segment):
    x0, y0, x1, y1 = segment
    vx, vy = x1 - x0, y1 - y0
    length2 = vx * vx + vy * vy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((px - x0) * vx + (py - y0) * vy) / length2))
    ex, ey = px - (x0 + t * vx), py - (y0 + t * vy)
    return math.sqrt(ex * ex + ey * ey)


def coverage(px, py, segments):
    """How much of the pixel centred at (px, py) the strokes cover."""
    d = min(distance(px, py, s) for s in segments)
    return max(0.0, min(1.0, STROKE / 2 - d + 0.5))


def render():
    segments = letters()
    rows = []
    for y in range(HEIGHT):
        row = bytearray()
        for x in range(WIDTH):
            cx, cy = x + 0.5, y + 0.5
            a = coverage(cx, cy, segments)
            s = coverage(cx - SHADOW_OFFSET[0], cy - SHADOW_OFFSET[1], segments) * SHADOW[3]
            t = y / (HEIGHT - 1)
            letter = [TOP[i] + (BOTTOM[i] - TOP[i]) * t for i in range(3)]
            # The letter over its shadow.
            alpha = a + s * (1 - a)
            if alpha == 0:
                row += bytes(4)
                continue
            colour = [(letter[i] * a + SHADOW[i] * s * (1 - a)) / alpha for i in range(3)]
            row += bytes(int(round(c)) for c in colour) + bytes([int(round(alpha * 255))])
        rows.append(bytes(row))
    return rows


def png(rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + r for r in rows)
    header = struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) +
            chunk(b"IEND", b""))


if __name__ == "__main__":
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "vekta-logo.png")
    with open(path, "wb") as out:
        out.write(png(render()))
