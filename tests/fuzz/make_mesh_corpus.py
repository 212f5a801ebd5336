#!/usr/bin/env python3
"""Writes the seed corpora of the mesh and scene fuzz targets (tests/fuzz/corpus/ddd_binary,
ddd_text and ddd_scene): small valid files of each form, made here rather than collected."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
PRIM_LIST, PRIM_STRIP, PRIM_FAN, WHITE = 0xFFFFFFFF, 0xFFFFFFFE, 0xFFFFFFFD, 0xFFFFFFFC


def binary_body(selector, colours, pairs, frames, quantised):
    """A binary mesh after its version; selector picks the version (0: 1.02, 1: 1.5, 2: 2.0)."""
    out = bytes([selector]) + struct.pack("<3i", len(frames), len(colours), len(pairs))
    out += b"".join(struct.pack("<I", c) for c in colours)
    out += b"".join(struct.pack("<2f", u, v) for (u, v) in pairs)
    for vertices in frames:
        out += struct.pack("<i", len(vertices))
        if quantised:
            out += struct.pack("<6f", 0, 0, 0, 0.5, 0.5, 0.5)
            out += b"".join(struct.pack("<5B", *v) for v in vertices)
        else:
            out += b"".join(struct.pack("<3f2B", *v) for v in vertices)
    return out


def binary_seeds():
    tri = [(10, 20, 255, 5, 1), (0, 0, 0, 0, 1), (255, 0, 0, 161, 2)]
    yield "triangle_1_02", binary_body(0, [PRIM_LIST, 0x0000FF, WHITE], [(0, 0), (1, 0), (0, 1)], [tri], True)
    strip = [(0, 0, 0, 0, 0)] + [(x * 40, (x % 2) * 80, 0, 5, 1) for x in range(6)]
    yield "strip_1_5", binary_body(1, [PRIM_STRIP, 0x00FF00], [(x / 6, x % 2) for x in range(7)], [strip, strip], True)
    fan = [(0.0, 0.0, 0.0, 0, 0)] + [(float(x), float(x * x), 1.0, 52, 1) for x in range(5)]
    yield "fan_2_0", binary_body(2, [PRIM_FAN, 0xFF0000], [(0.5, 0.5)] * 6, [fan], False)
    yield "empty_frames_2_0", binary_body(2, [0x123456], [(0, 0)], [[], [(1.0, 2.0, 3.0, 0, 0)]], False)


def text_seeds():
    yield "square_1_0", (b"DDDA 1.0 # a square\n4 0 0 1 0 1 -1 0 -1\n"
                         b"1 255 0 0 4 0 0 1 1 2 2 3 3\n1 4 -1 -1 0 1 -1 0 1 1 0 -1 1 0\n")
    yield "triangles_1_1", (b"DDDA 1.1 0\n2 10 20 30 3 0 0 1 0 2 0\n 40 50 60 3 2 0 1 0 0 0\n"
                            b"2\n3 0 0 0 0 0 1 1 0 0 0 0 1 0 1 0 0 0 1\n3 0 0 5 0 0 1 1 0 5 0 0 1 0 1 5 0 0 1\n")
    yield "comments", b"DDDA#header\n1.0 #version\r\n0\t1 1 2 3 3 0 0 0 0 0 0\n1 1 7.9 8e0\n"


def scene_seeds():
    yield "scene", (b";DDW a scene\r\n[textures]\r\ncount=2\r\n1=wall.png\r\n2=floor.bmp\r\n"
                    b"[objects]\r\ncount=2\r\n1=torus.ddd\r\n1ta=2\r\n1tb=1\r\n2 = floor.ddd\r\n2ta=0\r\n")
    yield "odd_layout", (b";DDW\n  ; comment\n[ OBJECTS ]\nCOUNT = 3\n1=a.ddd\n1=b.ddd\n2ta=\n3tb 4\n"
                         b"[objects]\ncount=9\n[textures]\ncount=-2\n")


def write(target, seeds):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    for name, data in seeds:
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


def main():
    write("ddd_binary", binary_seeds())
    write("ddd_text", text_seeds())
    write("ddd_scene", scene_seeds())


if __name__ == "__main__":
    main()
