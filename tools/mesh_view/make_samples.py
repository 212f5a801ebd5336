#!/usr/bin/env python3
"""Writes the viewer's sample files into tools/mesh_view/samples/:
torus.ddd (binary, quantised, triangle strips), cube.ddd (text, six coloured faces) and
scene/ (a ";DDW" scene: the torus over a chequered floor, with two PNG textures)."""
import math
import os
import re
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "samples")
NORMALS_CPP = os.path.join(HERE, "..", "..", "runtime", "3d", "ddd_normals.cpp")

PRIM_STRIP = 0xFFFFFFFE
MAGIC = 0x00C6B317


def normals():
    text = open(NORMALS_CPP).read()
    return [tuple(float(x) for x in m) for m in re.findall(r"\{(-?[\d.]+)f, (-?[\d.]+)f, (-?[\d.]+)f\}", text)]


def nearest(table, n):
    return max(range(len(table)), key=lambda i: sum(a * b for a, b in zip(table[i], n)))


def colour(r, g, b):
    return r | g << 8 | b << 16


def torus(rings=24, sides=16, big=1.0, small=0.38):
    """Binary version 1.02: one frame, a strip marker before every ring."""
    table = normals()
    bands = [colour(230, 90, 40), colour(240, 190, 60), colour(60, 160, 220), colour(120, 200, 90)]
    colours = [PRIM_STRIP] + bands
    stream = []  # (position, normal index, colour index, u, v)
    for i in range(rings):
        for j in range(sides + 1):
            for ring in (i, i + 1):
                a = 2 * math.pi * (ring % rings) / rings
                b = 2 * math.pi * (j % sides) / sides  # the seam closes exactly
                n = (math.cos(a) * math.cos(b), math.sin(b), math.sin(a) * math.cos(b))
                p = ((big + small * math.cos(b)) * math.cos(a), small * math.sin(b),
                     (big + small * math.cos(b)) * math.sin(a))
                if j == 0 and ring == i:
                    stream.append(((0, 0, 0), 0, 0, 0, 0))  # the ring's strip marker
                stream.append((p, nearest(table, n), 1 + (i // 3) % 4, ring / rings, j / sides))
    extent = big + small
    scale = 2 * extent / 255.0
    data = struct.pack("<Id3i", MAGIC, 1.02, 1, len(colours), len(stream))
    data += b"".join(struct.pack("<I", c) for c in colours)
    # Stored v is negated by the reader below version 2.0.
    data += b"".join(struct.pack("<2f", u, -v) for (_, _, _, u, v) in stream)
    data += struct.pack("<i6f", len(stream), 127.5, 127.5, 127.5, scale, scale, scale)
    for (p, n, c, _, _) in stream:
        q = [max(0, min(255, round(x / scale + 127.5))) for x in p]
        data += struct.pack("<5B", q[0], q[1], q[2], n, c)
    return data


def cube():
    """Text version 1.1: eight corners with normals, six four-cornered faces."""
    corners = [(x, y, z) for x in (-1, 1) for y in (-1, 1) for z in (-1, 1)]
    faces = [((0, 1, 3, 2), (200, 60, 60)), ((4, 6, 7, 5), (60, 200, 60)), ((0, 4, 5, 1), (60, 60, 200)),
             ((2, 3, 7, 6), (220, 220, 80)), ((0, 2, 6, 4), (80, 220, 220)), ((1, 5, 7, 3), (220, 80, 220))]
    lines = ["DDDA 1.1", "# a cube: 4 texture pairs, 6 faces, 1 frame", "4  0 0  1 0  1 1  0 1", "6"]
    for (f, (r, g, b)) in faces:
        lines.append("%d %d %d 4 %s" % (r, g, b, " ".join("%d %d" % (v, k) for k, v in enumerate(f))))
    lines.append("1 8")
    for (x, y, z) in corners:
        s = 1 / math.sqrt(3)
        lines.append("%g %g %g  %.6f %.6f %.6f" % (x, y, z, x * s, y * s, z * s))
    return ("\n".join(lines) + "\n").encode()


def floor():
    """Text version 1.1: one square below the torus, its texture repeated four times."""
    return (b"DDDA 1.1\n4  0 0  4 0  4 4  0 4\n1 255 255 255 4 0 0 1 1 2 2 3 3\n"
            b"1 4\n-2.2 -0.6 -2.2 0 1 0\n2.2 -0.6 -2.2 0 1 0\n2.2 -0.6 2.2 0 1 0\n-2.2 -0.6 2.2 0 1 0\n")


def png(width, height, pixel):
    rows = b"".join(b"\0" + b"".join(bytes(pixel(x, y)) for x in range(width)) for y in range(height))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">2I5B", width, height, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def write(name, data):
    path = os.path.join(OUT, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def main():
    write("torus.ddd", torus())
    write("cube.ddd", cube())
    write("scene/torus.ddd", torus())
    write("scene/floor.ddd", floor())
    write("scene/chequer.png", png(64, 64, lambda x, y: (235, 235, 225, 255) if (x // 32 + y // 32) % 2 else (70, 80, 95, 255)))
    write("scene/white.png", png(16, 16, lambda x, y: (255, 255, 255, 255)))
    write("scene/scene.ddw", b";DDW the torus over a chequered floor\r\n"
          b"[textures]\r\ncount=2\r\n1=chequer.png\r\n2=white.png\r\n"
          b"[objects]\r\ncount=2\r\n1=floor.ddd\r\n1ta=1\r\n2=torus.ddd\r\n2ta=2\r\n")


if __name__ == "__main__":
    main()
