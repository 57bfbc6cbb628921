#!/usr/bin/env python3
"""Draws the 16-colour icons, each with a 32 x 32 and a 16 x 16 image.

install.ico    a glider above a tray: the installer
uninstall.ico  a glider struck through: the uninstaller
saver.ico      a screen with Life on it: the saver program
dialog.ico     a grid of cells with a pen: the saver's settings dialogs
Deterministic: the same bytes on every build.
Usage: make_icons.py IMAGEFILE_PY OUTPUT_FOLDER
"""

import importlib.util
import os
import sys

# The classic 16-colour palette; the names index it.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_RED, DARK_GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GREY, RED, GREEN, YELLOW, BLUE, MAGENTA, CYAN, WHITE = range(8, 16)

GLIDER = [(1, 0), (2, 1), (0, 2), (1, 2), (2, 2)]


def load_imagefile(path):
    found = importlib.util.spec_from_file_location("imagefile", path)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


def blank(size):
    return [[None] * size for _ in range(size)]


def rect(img, x0, y0, x1, y1, colour):
    """Fills [x0, x1) x [y0, y1), clipped to the image."""
    size = len(img)
    for y in range(max(0, y0), min(size, y1)):
        for x in range(max(0, x0), min(size, x1)):
            img[y][x] = colour


def cell(img, x, y, step, colour, edge):
    """One Life cell: a block with a darker lower-right edge when there is room."""
    rect(img, x, y, x + step - 1, y + step - 1, colour)
    if step >= 4:
        rect(img, x + step - 2, y, x + step - 1, y + step - 1, edge)
        rect(img, x, y + step - 2, x + step - 1, y + step - 1, edge)


def glider(img, x, y, step, colour, edge):
    for c, r in GLIDER:
        cell(img, x + c * step, y + r * step, step, colour, edge)


def line(img, x0, y0, x1, y1, width, colour):
    steps = max(abs(x1 - x0), abs(y1 - y0))
    for i in range(steps + 1):
        x = x0 + (x1 - x0) * i // steps
        y = y0 + (y1 - y0) * i // steps
        rect(img, x, y, x + width, y + width, colour)


def install_icon(size):
    img = blank(size)
    k = size // 16
    rect(img, 1 * k, 11 * k, 15 * k, 15 * k, NAVY)          # the tray
    rect(img, 2 * k, 11 * k, 14 * k, 13 * k, BLUE)
    glider(img, 4 * k, 1 * k, 3 * k, GREEN, DARK_GREEN)     # coming down into it
    return img


def uninstall_icon(size):
    img = blank(size)
    k = size // 16
    rect(img, 1 * k, 11 * k, 15 * k, 15 * k, NAVY)
    rect(img, 2 * k, 11 * k, 14 * k, 13 * k, BLUE)
    glider(img, 4 * k, 1 * k, 3 * k, SILVER, GREY)
    line(img, 2 * k, 1 * k, 13 * k, 12 * k, max(2, k + k // 2), RED)
    line(img, 13 * k, 1 * k, 2 * k, 12 * k, max(2, k + k // 2), RED)
    return img


def saver_icon(size):
    img = blank(size)
    k = size // 16
    rect(img, 0, 1 * k, 16 * k, 12 * k, SILVER)              # the screen's case
    rect(img, 1 * k, 2 * k, 15 * k, 11 * k, BLACK)           # and its glass
    rect(img, 6 * k, 12 * k, 10 * k, 14 * k, GREY)           # the stand
    rect(img, 4 * k, 14 * k, 12 * k, 15 * k, GREY)
    step = max(1, k)
    for c, r in [(2, 3), (3, 3), (4, 3), (9, 4), (10, 5), (8, 6), (9, 6), (10, 6), (4, 8), (5, 8), (4, 9), (5, 9),
                 (12, 3), (12, 4), (12, 5)]:
        rect(img, c * k, r * k, c * k + step, r * k + step, GREEN if (c + r) % 3 else YELLOW)
    return img


def dialog_icon(size):
    img = blank(size)
    k = size // 16
    rect(img, 1 * k, 1 * k, 15 * k, 15 * k, WHITE)
    rect(img, 1 * k, 1 * k, 15 * k, 3 * k, NAVY)             # a title bar
    live = {(1, 1), (2, 2), (0, 3), (1, 3), (2, 3)}
    for r in range(4):
        for c in range(4):
            x, y = 2 * k + c * 3 * k, 4 * k + r * 5 * k // 2
            cell(img, x, y, 2 * k, TEAL if (c, r) in live else SILVER, NAVY if (c, r) in live else GREY)
    return img


ICONS = {
    "install.ico": install_icon,
    "uninstall.ico": uninstall_icon,
    "saver.ico": saver_icon,
    "dialog.ico": dialog_icon,
}


def main():
    imagefile = load_imagefile(sys.argv[1])
    folder = sys.argv[2]
    os.makedirs(folder, exist_ok=True)
    for name, draw in ICONS.items():
        imagefile.write_ico(os.path.join(folder, name), {32: draw(32), 16: draw(16)}, PALETTE)


if __name__ == "__main__":
    main()
