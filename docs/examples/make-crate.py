#!/usr/bin/env python3
"""Makes the models set and the knock of the guide's example document crate/.

The files are committed, and nothing in the build or the tests runs this
script: it only records how they were made, and shows how a models set's
hexadecimal arrays can be written. The knock needs oggenc, which neither the
player nor its build uses (on Debian: sudo apt-get install vorbis-tools):

    python3 docs/examples/make-crate.py

crate/models.xml: a floor of 8 x 8 at z = 0, a crate (a cube of edge 1) with
a box collision volume as its child, a camera looking level along +y and a
point lamp in front, to the left, above. z is up.

crate/knock.ogg: a mono 44100 Hz knock of 0.3 s, a 190 Hz tone with a
470 Hz partial that die away fast, at most half of full scale, with a 2 ms
attack. The serial number is fixed so that every run makes the same file
with the same encoder (the committed one: vorbis-tools 1.4.2 with libvorbis
1.3.7, whose version the file names); another version may write other bytes.
"""
import math
import os
import shutil
import struct
import subprocess
import sys

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "crate")


def floats(*values):
    """Little-endian single-precision floats, lower-case hex, one group each."""
    return " ".join(struct.pack("<f", v).hex() for v in values)


def shorts(*values):
    return " ".join(struct.pack("<H", v).hex() for v in values)


def mesh(name, faces):
    """A mesh of flat faces: each face is (normal, four corners wound
    counter-clockwise seen from the side the normal points to)."""
    vertices, normals, triangles = [], [], []
    for normal, corners in faces:
        base = len(vertices)
        vertices += corners
        normals += [normal] * 4
        triangles += [base, base + 1, base + 2, base, base + 2, base + 3]
    low = [min(v[i] for v in vertices) for i in range(3)]
    high = [max(v[i] for v in vertices) for i in range(3)]
    return "\n".join([
        '<mesh name="%s">' % name,
        "  <min>%g %g %g</min><max>%g %g %g</max>" % (*low, *high),
        '  <vertices count="%d" size="4">' % len(vertices),
        *("    " + floats(*v) for v in vertices),
        "  </vertices>",
        '  <normals count="%d" size="4">' % len(normals),
        *("    " + floats(*n) for n in normals),
        "  </normals>",
        '  <triangles count="%d" size="2">' % (len(triangles) // 3),
        *("    " + shorts(*triangles[i:i + 6]) for i in range(0, len(triangles), 6)),
        "  </triangles>",
        "</mesh>",
    ])


def cube(h):
    """The six faces of a cube of half edge h centred at the origin."""
    faces = []
    for axis in range(3):
        for sign in (-1, 1):
            u, v = (axis + 1) % 3, (axis + 2) % 3
            normal = [0.0, 0.0, 0.0]
            normal[axis] = float(sign)
            corners = []
            for a, b in ((-1, -1), (1, -1), (1, 1), (-1, 1)):
                if sign < 0:
                    a, b = b, a  # the other winding, seen from the other side
                p = [0.0, 0.0, 0.0]
                p[axis], p[u], p[v] = sign * h, a * h, b * h
                corners.append(tuple(p))
            faces.append((tuple(normal), corners))
    return faces


def models():
    floor = [((0.0, 0.0, 1.0), [(-4, -4, 0), (4, -4, 0), (4, 4, 0), (-4, 4, 0)])]
    return "\n".join([
        "<materials>",
        '<material name="ground"><diffuse>0.45 0.55 0.4</diffuse><specular>0 0 0</specular></material>',
        '<material name="wood"><diffuse>0.8 0.55 0.3</diffuse><specular>0.2 0.2 0.2</specular>'
        "<shininess>20</shininess></material>",
        "</materials>",
        "<meshes>",
        mesh("floor", floor),
        mesh("cube", cube(0.5)),
        "</meshes>",
        "<objects>",
        '<object type="Mesh" name="floor"><mesh>floor</mesh><material>ground</material></object>',
        '<object type="Mesh" name="crate"><mesh>cube</mesh><material>wood</material></object>',
        '<object type="CollisionVolume" name="crateVolume"><parent>crate</parent>',
        "  <matrix>0.5 0 0 0  0 0.5 0 0  0 0 0.5 0  0 0 0 1</matrix><volume_type>box</volume_type></object>",
        '<object type="Camera" name="camera"><matrix>1 0 0 0  0 0 1 0  0 -1 0 0  0 -6 1.5 1</matrix>'
        "<angle>50</angle></object>",
        '<object type="Lamp" name="lamp"><matrix>1 0 0 0  0 1 0 0  0 0 1 0  -4 -3 5 1</matrix>'
        "<type>Lamp</type><color>1 1 1</color></object>",
        "</objects>",
        "",
    ])


def knock():
    rate = 44100
    for n in range(int(rate * 0.3)):
        t = n / rate
        attack = min(1.0, t / 0.002)
        value = 0.4 * math.sin(2 * math.pi * 190 * t) * math.exp(-18 * t)
        value += 0.1 * math.sin(2 * math.pi * 470 * t) * math.exp(-30 * t)
        yield int(round(32767 * attack * value))


if shutil.which("oggenc") is None:
    sys.exit("make-crate.py: oggenc is missing (on Debian: sudo apt-get install vorbis-tools); nothing written")
with open(os.path.join(HERE, "models.xml"), "w") as f:
    f.write(models())
pcm = b"".join(struct.pack("<h", v) for v in knock())
subprocess.run(["oggenc", "-Q", "-q", "2", "-s", "2901", "-r", "-B", "16", "-C", "1", "-R", "44100",
                "--raw-endianness", "0", "-o", os.path.join(HERE, "knock.ogg"), "-"],
               input=pcm, check=True)
