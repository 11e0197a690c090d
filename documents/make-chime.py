#!/usr/bin/env python3
"""Makes vKorvestrane/chime.ogg, the short chime of the built-in document.

The file is committed; this script only records how it was made. It needs
oggenc (Debian package vorbis-tools), which the player itself does not use:

    python3 documents/make-chime.py

A mono 44100 Hz chime of 0.6 s: two partials (880 Hz and 1320 Hz) that fade
exponentially, at most half of full scale, with a 5 ms attack so that it
starts without a click. The serial number is fixed so that every run makes
the same file.
"""
import math
import os
import struct
import subprocess

RATE = 44100
SECONDS = 0.6

def chime():
    frames = int(RATE * SECONDS)
    for n in range(frames):
        t = n / RATE
        attack = min(1.0, t / 0.005)
        value = 0.35 * math.sin(2 * math.pi * 880 * t) * math.exp(-5 * t)
        value += 0.15 * math.sin(2 * math.pi * 1320 * t) * math.exp(-8 * t)
        yield int(round(32767 * attack * value))

here = os.path.dirname(os.path.abspath(__file__))
pcm = b"".join(struct.pack("<h", v) for v in chime())
subprocess.run(["oggenc", "-Q", "-q", "2", "-s", "2001", "-r", "-B", "16", "-C", "1", "-R", str(RATE),
                "--raw-endianness", "0", "-o", os.path.join(here, "vKorvestrane", "chime.ogg"), "-"],
               input=pcm, check=True)
