#!/usr/bin/env python3
"""Writes the small seed bitmaps of the bmp fuzzer into corpus/bmp/: every
depth the reader takes, both orientations, masks, each header size, and
run-length streams with every escape."""
import os
import struct

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "bmp")


def bmp(width, height, depth, values, palette=(), header=40, compression=0, masks=(0, 0, 0), used=0):
    rows = abs(height)
    if header == 12:
        info = struct.pack("<IHHHH", 12, width, rows, 1, depth)
    else:
        info = struct.pack("<IiiHHIIiiII", header, width, height, 1, depth, compression, 0, 2835, 2835, used, 0)
        if compression == 3 or header > 40:
            info += struct.pack("<III", *masks)
        if header > 40:
            info = info.ljust(header, b"\0")
    entry = 3 if header == 12 else 4
    pal = b"".join(struct.pack("<I", c)[:entry] for c in palette)
    stride = (width * depth + 31) // 32 * 4
    pixels = b""
    for r in range(rows):
        y = r if height < 0 else rows - 1 - r
        row = bytearray(stride)
        for x in range(width):
            v = values[y * width + x]
            if depth < 8:
                per = 8 // depth
                row[x // per] |= v << (8 - depth * (x % per + 1))
            else:
                row[x * depth // 8:(x + 1) * depth // 8] = v.to_bytes(depth // 8, "little")
        pixels += bytes(row)
    offset = 14 + len(info) + len(pal)
    head = b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset)
    return head + info + pal + pixels


def rle(width, height, depth, stream, palette):
    """A bottom-up run-length file (8 or 4 bits) holding the given stream."""
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, depth, 1 if depth == 8 else 2, len(stream), 2835, 2835,
                       0, 0)
    pal = b"".join(struct.pack("<I", c) for c in palette)
    offset = 14 + len(info) + len(pal)
    head = b"BM" + struct.pack("<IHHI", offset + len(stream), 0, 0, offset)
    return head + info + pal + bytes(stream)


def main():
    os.makedirs(HERE, exist_ok=True)
    w, h = 5, 3
    n = w * h
    seeds = {
        "1bit.bmp": bmp(w, h, 1, [i % 2 for i in range(n)], (0x000000, 0xFFFFFF)),
        "4bit-topdown.bmp": bmp(w, -h, 4, [i % 16 for i in range(n)], [i * 0x111111 for i in range(16)]),
        "8bit-short-palette.bmp": bmp(w, h, 8, [i % 5 for i in range(n)], (1, 2, 3), used=3),
        "8bit-core.bmp": bmp(w, h, 8, [i % 2 for i in range(n)], (0x123456, 0x654321), header=12),
        "16bit-565.bmp": bmp(w, h, 16, [i * 4099 % 65536 for i in range(n)], compression=3,
                             masks=(0xF800, 0x07E0, 0x001F)),
        "24bit.bmp": bmp(w, h, 24, [i * 0x10203 for i in range(n)]),
        "24bit-v4.bmp": bmp(w, -h, 24, [i * 0x30201 for i in range(n)], header=108),
        "32bit-v5-masks.bmp": bmp(w, h, 32, [i * 0x1020304 for i in range(n)], header=124, compression=3,
                                  masks=(0xFF0000, 0xFF00, 0xFF)),
        "32bit.bmp": bmp(w, -h, 32, [i * 0x4030201 for i in range(n)]),
        # Encoded runs, an odd absolute run with its pad, end of line, delta,
        # end of bitmap.
        "rle8.bmp": rle(w, h, 8, [2, 1, 0, 3, 4, 5, 6, 0, 0, 0, 0, 2, 1, 1, 3, 2, 0, 1],
                        [i * 0x111111 for i in range(8)]),
        "rle4.bmp": rle(w, h, 4, [5, 0x12, 0, 0, 0, 5, 0x34, 0x56, 0x70, 0, 0, 2, 2, 1, 2, 0xAB, 0, 1],
                        [i * 0x111111 for i in range(16)]),
        # No end-of-bitmap code: the stream just stops.
        "rle8-cut.bmp": rle(w, h, 8, [w, 1, 0, 0, 0, 4, 1, 2, 3, 4], [0x102030, 0x405060]),
    }
    for name, data in seeds.items():
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
