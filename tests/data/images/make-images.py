#!/usr/bin/env python3
"""Makes the small image fixtures of the bitmap decoding tests.

PNGs are written here with zlib and struct only; JPEGs are encoded by cjpeg
(libjpeg-turbo-progs) from PPM/PGM images written here. Neither tool is needed
to build or test: the outputs are committed. Run from anywhere:
    python3 tests/data/images/make-images.py
"""
import os
import struct
import subprocess
import tempfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

GREY, RGB, PALETTE, GREY_ALPHA, RGBA = 0, 2, 3, 4, 6
CHANNELS = {GREY: 1, RGB: 3, PALETTE: 1, GREY_ALPHA: 2, RGBA: 4}


def chunk(kind, body):
    data = kind + body
    return struct.pack(">I", len(body)) + data + struct.pack(">I", zlib.crc32(data) & 0xFFFFFFFF)


def pack_row(samples, depth):
    """One row of samples (ints) at the bit depth, big-endian, filter 0."""
    if depth == 16:
        return b"\0" + b"".join(struct.pack(">H", s) for s in samples)
    if depth == 8:
        return b"\0" + bytes(samples)
    out, bits, count = [], 0, 0
    for s in samples:
        bits = (bits << depth) | s
        count += depth
        if count == 8:
            out.append(bits)
            bits, count = 0, 0
    if count:
        out.append(bits << (8 - count))
    return b"\0" + bytes(out)


# Adam7: (first column, first row, column step, row step) of each pass.
ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]


def png(name, width, height, colour, depth, rows, extra=b"", interlaced=False):
    """rows: top row first, each a list of pixels, a pixel a tuple of samples."""
    flat = lambda row: [s for pixel in row for s in pixel]
    raw = b""
    if interlaced:
        for x0, y0, dx, dy in ADAM7:
            if x0 >= width or y0 >= height:
                continue
            for y in range(y0, height, dy):
                raw += pack_row(flat(rows[y][x0::dx]), depth)
    else:
        for row in rows:
            raw += pack_row(flat(row), depth)
    ihdr = struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, 1 if interlaced else 0)
    data = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + extra + chunk(b"IDAT", zlib.compress(raw, 9)) +
            chunk(b"IEND", b""))
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


def pngs():
    png("grey8.png", 3, 2, GREY, 8, [[(0,), (100,), (200,)], [(50,), (150,), (250,)]])
    png("grey2.png", 4, 2, GREY, 2, [[(0,), (1,), (2,), (3,)], [(3,), (2,), (1,), (0,)]])
    png("grey16.png", 2, 2, GREY, 16, [[(0x1234,), (0xABCD,)], [(0x00FF,), (0xFF00,)]])
    png("grey_trns.png", 3, 1, GREY, 8, [[(100,), (7,), (100,)]], chunk(b"tRNS", struct.pack(">H", 100)))
    png("grey_alpha.png", 2, 2, GREY_ALPHA, 8, [[(10, 255), (20, 128)], [(30, 0), (40, 64)]])
    png("rgb.png", 3, 2, RGB, 8,
        [[(255, 0, 0), (0, 255, 0), (0, 0, 255)], [(1, 2, 3), (4, 5, 6), (7, 8, 9)]])
    png("rgb_trns.png", 2, 1, RGB, 8, [[(1, 2, 3), (4, 5, 6)]], chunk(b"tRNS", struct.pack(">HHH", 1, 2, 3)))
    png("rgba.png", 2, 2, RGBA, 8,
        [[(10, 20, 30, 40), (50, 60, 70, 80)], [(90, 100, 110, 120), (130, 140, 150, 160)]])
    png("rgba16.png", 2, 1, RGBA, 16, [[(0x0102, 0x0304, 0x0506, 0x0708), (0xF1F2, 0xF3F4, 0xF5F6, 0xF7F8)]])
    palette = struct.pack("15B", 255, 0, 0, 0, 255, 0, 0, 0, 255, 10, 20, 30, 40, 50, 60)
    png("palette_trns.png", 3, 2, PALETTE, 4, [[(0,), (1,), (2,)], [(3,), (4,), (0,)]],
        chunk(b"PLTE", palette) + chunk(b"tRNS", bytes([0, 128, 255])))
    png("palette1.png", 9, 1, PALETTE, 1, [[((x * 5) % 3 % 2,) for x in range(9)]],
        chunk(b"PLTE", struct.pack("6B", 1, 2, 3, 250, 251, 252)))
    # Interlaced images whose pixels tell their position (the tests compute
    # the same patterns).
    png("interlaced_rgb.png", 9, 9, RGB, 8,
        [[(x * 28, y * 28, (x * 9 + y) % 256) for x in range(9)] for y in range(9)], interlaced=True)
    png("interlaced_grey1.png", 11, 10, GREY, 1,
        [[(((x * 3 + y * y) >> 1) & 1,) for x in range(11)] for y in range(10)], interlaced=True)


# The JPEGs: 24 x 16 pixels in six 8 x 8 blocks of one colour each (top row
# first). At quality 100 without chroma subsampling every block decodes to one
# colour, and these colours come back exactly from the YCbCr round trip.
JPEG_BLOCKS = [[(200, 40, 40), (40, 200, 40), (40, 40, 200)], [(250, 250, 250), (128, 128, 128), (10, 10, 10)]]
GREY_BLOCKS = [[20, 90, 160], [230, 60, 130]]


def block_image(blocks):
    rows = []
    for block_row in blocks:
        for _ in range(8):
            row = []
            for value in block_row:
                row.extend([value] * 8)
            rows.append(row)
    return rows


def jpegs():
    with tempfile.TemporaryDirectory() as tmp:
        ppm = os.path.join(tmp, "colour.ppm")
        rows = block_image(JPEG_BLOCKS)
        with open(ppm, "wb") as f:
            f.write(b"P6 24 16 255\n" + bytes(s for row in rows for pixel in row for s in pixel))
        pgm = os.path.join(tmp, "grey.pgm")
        rows = block_image(GREY_BLOCKS)
        with open(pgm, "wb") as f:
            f.write(b"P5 24 16 255\n" + bytes(v for row in rows for v in row))
        common = ["cjpeg", "-quality", "100", "-sample", "1x1", "-optimize"]
        outputs = [("baseline.jpg", ["-baseline"], ppm), ("progressive.jpg", ["-progressive"], ppm),
                   ("grey.jpg", ["-grayscale"], pgm)]
        for name, options, source in outputs:
            subprocess.run(common + options + ["-outfile", os.path.join(HERE, name), source], check=True)


if __name__ == "__main__":
    pngs()
    jpegs()
