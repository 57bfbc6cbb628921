"""Writers for the picture files the project generates: BMP and ICO.

Only the standard library; every writer is deterministic (same input, same
bytes), so generated files can be compared between builds.
"""

import struct


def _bmp_rows(width, height, row_bytes, top_down):
    """Row order of the pixel array: BMP stores bottom-up unless told otherwise."""
    return range(height) if top_down else range(height - 1, -1, -1)


def write_bmp(path, width, height, pixels, bits=24, palette=None, top_down=False):
    """Writes an uncompressed BMP.

    pixels: a list of rows (top row first); each row a list of width values:
      (r, g, b) tuples for 24 or 32 bits, palette indexes for 1, 4 and 8 bits.
    palette: list of (r, g, b) for 1/4/8 bits; its length is written as the
      number of colours used (so a 255-entry palette stays 255 entries).
    """
    if bits not in (1, 4, 8, 24, 32):
        raise ValueError("unsupported depth %d" % bits)
    if bits <= 8:
        if palette is None or len(palette) > (1 << bits):
            raise ValueError("palette needed, at most %d entries" % (1 << bits))
    else:
        palette = []
    row_bytes = ((width * bits + 31) // 32) * 4
    data = bytearray()
    for y in _bmp_rows(width, height, row_bytes, top_down):
        row = pixels[y]
        out = bytearray()
        if bits == 24:
            for r, g, b in row:
                out += bytes((b, g, r))
        elif bits == 32:
            for r, g, b in row:
                out += bytes((b, g, r, 0))
        else:
            per_byte = 8 // bits
            for x0 in range(0, width, per_byte):
                byte = 0
                for k in range(per_byte):
                    value = row[x0 + k] if x0 + k < width else 0
                    byte |= (value & ((1 << bits) - 1)) << (8 - bits * (k + 1))
                out.append(byte)
        out += bytes(row_bytes - len(out))
        data += out
    palette_bytes = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    offset = 14 + 40 + len(palette_bytes)
    header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, -height if top_down else height, 1, bits, 0,
                       len(data), 2835, 2835, len(palette), len(palette))
    with open(path, "wb") as f:
        f.write(header + info + palette_bytes + bytes(data))


def _ico_image(size, pixels, palette):
    """One 4-bit icon image: header, 16-colour palette, XOR and AND masks.

    pixels: size x size palette indexes, top row first; None is transparent.
    """
    xor_row = ((size * 4 + 31) // 32) * 4
    and_row = ((size + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for y in range(size - 1, -1, -1):
        row = pixels[y]
        line = bytearray()
        for x in range(0, size, 2):
            a = row[x] if row[x] is not None else 0
            b = row[x + 1] if row[x + 1] is not None else 0
            line.append((a << 4) | b)
        xor += line + bytes(xor_row - len(line))
        bits = bytearray(and_row)
        for x in range(size):
            if row[x] is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    pal = list(palette) + [(0, 0, 0)] * (16 - len(palette))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    return header + b"".join(bytes((b, g, r, 0)) for r, g, b in pal) + bytes(xor) + bytes(mask)


def write_ico(path, images, palette):
    """Writes a 16-colour icon file.

    images: {size: pixels} with pixels as for _ico_image (sizes 32 and 16).
    palette: up to 16 (r, g, b) entries shared by every image.
    """
    sizes = sorted(images, reverse=True)
    blobs = [_ico_image(s, images[s], palette) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(blobs))
    offset = 6 + 16 * len(blobs)
    for s, blob in zip(sizes, blobs):
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
    with open(path, "wb") as f:
        f.write(out + b"".join(blobs))
