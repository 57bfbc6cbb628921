#!/usr/bin/env python3
"""Reads two classic frames of one-colour square cells (dead cells black) and
tells whether the second is the generation after the first under a Life-like
rule, on a torus the size of the frames' cell grid.

Usage: classic_rule_check.py WIDTH HEIGHT CELL FIRST.rgb NEXT.rgb RULE
RULE is B.../S... (digits only). Prints the number of cells that differ from
the rule's generation and exits 0 when none does.
"""
import sys


def cells(path, width, height, cell):
    data = open(path, "rb").read()
    if len(data) != width * height * 3:
        sys.exit(f"{path}: {len(data)} bytes, not a {width}x{height} RGB picture")
    columns, rows = width // cell, height // cell
    # The middle pixel of each cell: any live colour is not black.
    def live(x, y):
        at = ((y * cell + cell // 2) * width + x * cell + cell // 2) * 3
        return data[at:at + 3] != b"\0\0\0"
    return [[live(x, y) for x in range(columns)] for y in range(rows)]


def step(grid, birth, survive):
    rows, columns = len(grid), len(grid[0])
    result = []
    for y in range(rows):
        line = []
        for x in range(columns):
            count = sum(grid[(y + dy) % rows][(x + dx) % columns]
                        for dy in (-1, 0, 1) for dx in (-1, 0, 1) if dx or dy)
            line.append(count in (survive if grid[y][x] else birth))
        result.append(line)
    return result


def main():
    width, height, cell = (int(a) for a in sys.argv[1:4])
    first = cells(sys.argv[4], width, height, cell)
    after = cells(sys.argv[5], width, height, cell)
    b, s = sys.argv[6].upper().split("/")
    birth = {int(c) for c in b[1:]}
    survive = {int(c) for c in s[1:]}
    if sum(map(sum, first)) == 0:
        sys.exit("the first frame has no live cells")
    expected = step(first, birth, survive)
    wrong = sum(e != a for er, ar in zip(expected, after) for e, a in zip(er, ar))
    print(wrong)
    sys.exit(0 if wrong == 0 else 1)


main()
