#!/usr/bin/env python3
"""Pictures of the screen against tumbra_frames' frames, for saver.sh.

    screen_frames.py hashes DIR
        One line per frame picture DIR/f-NNNNNN.bmp (24-bit, bottom-up, as
        tumbra_frames writes them): its number and the MD5 of its pixels as
        `import -window root -depth 8 rgb:FILE` writes a screen of the same
        size, top row first, red, green, blue.
    screen_frames.py spread FILE.rgb WIDTH HEIGHT
        Where the lit (not black) pixels of a raw RGB screen lie: their
        bounding box, and how many fall in each third of its width, as
        "left top right bottom first middle last"; "none" when all is black.
"""
import hashlib
import os
import re
import struct
import sys


def bmp_rgb(path):
    """The pixels of a 24-bit BMP, top row first, as RGB bytes."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"BM" or len(data) < 54:
        raise ValueError(f"{path}: not a BMP file")
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bits = struct.unpack_from("<H", data, 28)[0]
    if bits != 24 or width <= 0 or height == 0:
        raise ValueError(f"{path}: not a 24-bit picture")
    row_bytes = (width * 3 + 3) & ~3
    if len(data) < offset + row_bytes * abs(height):
        raise ValueError(f"{path}: shorter than its pixels")
    rows = []
    for row in range(abs(height)):
        stored = abs(height) - 1 - row if height > 0 else row
        start = offset + stored * row_bytes
        bgr = data[start:start + width * 3]
        rgb = bytearray(len(bgr))
        rgb[0::3], rgb[1::3], rgb[2::3] = bgr[2::3], bgr[1::3], bgr[0::3]
        rows.append(bytes(rgb))
    return b"".join(rows)


def hashes(folder):
    names = sorted(n for n in os.listdir(folder) if re.fullmatch(r"f-\d{6}\.bmp", n))
    if not names:
        sys.exit(f"no frames in {folder}")
    for name in names:
        print(int(name[2:8]), hashlib.md5(bmp_rgb(os.path.join(folder, name))).hexdigest())


def spread(path, width, height):
    with open(path, "rb") as f:
        data = f.read()
    if len(data) != width * height * 3:
        sys.exit(f"{path}: {len(data)} bytes, not a {width}x{height} RGB picture")
    lit = []
    black = b"\0\0\0"
    for y in range(height):
        line = data[y * width * 3:(y + 1) * width * 3]
        if line.count(0) == len(line):
            continue
        for x in range(width):
            if line[3 * x:3 * x + 3] != black:
                lit.append((x, y))
    if not lit:
        print("none")
        return
    xs = [x for x, _ in lit]
    ys = [y for _, y in lit]
    left, right = min(xs), max(xs)
    span = right - left + 1
    thirds = [0, 0, 0]
    for x in xs:
        thirds[min(2, 3 * (x - left) // span)] += 1
    print(left, min(ys), right, max(ys), *thirds)


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "hashes":
        hashes(sys.argv[2])
    elif len(sys.argv) == 5 and sys.argv[1] == "spread":
        spread(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]))
    else:
        sys.exit(__doc__)


main()
