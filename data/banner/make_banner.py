#!/usr/bin/env python3
"""Draws the installer's banner: 1024 x 128, 8 bits per pixel, 255 colours.

A dusk gradient with a few Life patterns scattered over it and the name
spelt in cells on the left, where every installer window shows it.
Deterministic: the same bytes on every build.
Usage: make_banner.py IMAGEFILE_PY OUTPUT_BMP
"""

import importlib.util
import sys

WIDTH, HEIGHT = 1024, 128
CELL = 8                      # one Life cell in pixels
GRADIENT = 192                # palette entries 0..191: the background
LETTER_SHADES = 32            # 192..223: the lettering, top to bottom
PATTERN_SHADES = 31           # 224..254: the scattered patterns


def load_imagefile(path):
    found = importlib.util.spec_from_file_location("imagefile", path)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def make_palette():
    night, dusk, glow = (10, 16, 48), (28, 70, 110), (60, 150, 140)
    palette = []
    for i in range(GRADIENT):
        t = i / (GRADIENT - 1)
        palette.append(mix(night, dusk, t * 2) if t < 0.5 else mix(dusk, glow, (t - 0.5) * 2))
    for i in range(LETTER_SHADES):
        palette.append(mix((255, 244, 190), (250, 170, 60), i / (LETTER_SHADES - 1)))
    for i in range(PATTERN_SHADES):
        palette.append(mix((120, 230, 160), (200, 250, 255), i / (PATTERN_SHADES - 1)))
    assert len(palette) == 255
    return palette


# Five rows high letters, one cell per dot.
FONT = {
    "t": ["###", ".#.", ".#.", ".#.", ".##"],
    "u": ["#.#", "#.#", "#.#", "#.#", "###"],
    "m": ["#...#", "##.##", "#.#.#", "#...#", "#...#"],
    "b": ["#..", "###", "#.#", "#.#", "###"],
    "r": ["...", "###", "#..", "#..", "#.."],
    "a": ["###", "..#", "###", "#.#", "###"],
}

# Small still lifes, oscillators and spaceships: (column, row) cells.
PATTERNS = {
    "glider": [(1, 0), (2, 1), (0, 2), (1, 2), (2, 2)],
    "blinker": [(0, 1), (1, 1), (2, 1)],
    "block": [(0, 0), (1, 0), (0, 1), (1, 1)],
    "beehive": [(1, 0), (2, 0), (0, 1), (3, 1), (1, 2), (2, 2)],
    "toad": [(1, 0), (2, 0), (3, 0), (0, 1), (1, 1), (2, 1)],
    "lwss": [(1, 0), (4, 0), (0, 1), (0, 2), (4, 2), (0, 3), (1, 3), (2, 3), (3, 3)],
}

# Where the patterns sit, in cells (the field is 128 x 16 cells).
PLACES = [
    ("glider", 52, 2), ("blinker", 60, 10), ("block", 68, 4), ("beehive", 76, 9),
    ("lwss", 86, 3), ("toad", 96, 10), ("glider", 104, 5), ("block", 112, 11),
    ("blinker", 118, 3), ("beehive", 122, 8), ("glider", 44, 11), ("toad", 36, 1),
]


def background(x, y):
    # Diagonal dusk: dark at the left top, glowing towards the right bottom.
    t = 0.55 * x / (WIDTH - 1) + 0.45 * y / (HEIGHT - 1)
    index = int(t * (GRADIENT - 1))
    # A faint grid of cell borders, one shade darker.
    if x % CELL == 0 or y % CELL == 0:
        index = max(0, index - 10)
    return index


def draw_cell(pixels, cx, cy, shade):
    for dy in range(1, CELL - 1):
        for dx in range(1, CELL - 1):
            corner = dx in (1, CELL - 2) and dy in (1, CELL - 2)
            if corner:
                continue
            x, y = cx * CELL + dx, cy * CELL + dy
            if 0 <= x < WIDTH and 0 <= y < HEIGHT:
                pixels[y][x] = shade


def main():
    imagefile = load_imagefile(sys.argv[1])
    pixels = [[background(x, y) for x in range(WIDTH)] for y in range(HEIGHT)]

    # The name, two cells below the top, three cells from the left.
    column = 3
    for letter in "tumbra":
        rows = FONT[letter]
        for r, line in enumerate(rows):
            for c, dot in enumerate(line):
                if dot == "#":
                    shade = GRADIENT + (r * 2 + 1) * LETTER_SHADES // (len(rows) * 2)
                    draw_cell(pixels, column + c, 5 + r, shade)
        column += len(rows[0]) + 1

    base = GRADIENT + LETTER_SHADES
    for n, (name, px, py) in enumerate(PLACES):
        shade = base + (n * 7) % PATTERN_SHADES
        for c, r in PATTERNS[name]:
            draw_cell(pixels, px + c, py + r, shade)

    imagefile.write_bmp(sys.argv[2], WIDTH, HEIGHT, pixels, bits=8, palette=make_palette())


if __name__ == "__main__":
    main()
