#!/usr/bin/env python3
"""Draws the desktop icon of the X11 front end: the saver's own icon (a
screen with Life on it, as make_icons.py draws it for Windows) as PNG files
of the icon theme's sizes, unscaled where the drawing has a size of its own
and with its transparent pixels transparent.

Deterministic: the same bytes on every build.
Usage: make_icon.py MAKE_ICONS_PY OUTPUT_FOLDER SIZE...
  writes OUTPUT_FOLDER/SIZExSIZE/apps/tumbra.png for every SIZE (a multiple of 16)
"""

import importlib.util
import os
import struct
import sys
import zlib


def load(path):
    found = importlib.util.spec_from_file_location("make_icons", path)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png(pixels, palette):
    """An 8-bit RGBA PNG of palette indexes, None for transparent."""
    height, width = len(pixels), len(pixels[0])
    raw = bytearray()
    for row in pixels:
        raw.append(0)  # no filter
        for index in row:
            raw += bytes((0, 0, 0, 0)) if index is None else bytes(palette[index]) + b"\xff"
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) +
            chunk(b"IEND", b""))


def main():
    icons = load(sys.argv[1])
    folder = sys.argv[2]
    for size in (int(text) for text in sys.argv[3:]):
        if size <= 0 or size % 16:
            sys.exit("make_icon.py: %d is no multiple of 16" % size)
        out = os.path.join(folder, "%dx%d" % (size, size), "apps")
        os.makedirs(out, exist_ok=True)
        with open(os.path.join(out, "tumbra.png"), "wb") as f:
            f.write(png(icons.saver_icon(size), icons.PALETTE))


if __name__ == "__main__":
    main()
