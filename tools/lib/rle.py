"""The cells of an RLE body or file, for the scripts that check patterns against bgolly."""
import re


def rle_cells(body):
    """The live (x, y) of a run-length body ('b' dead, 'o' live, '$' rows,
    '!' the end), from the pattern's top-left; ValueError on anything else."""
    cells, x, y, run = set(), 0, 0, ''
    for ch in body:
        if ch.isdigit():
            run += ch
            continue
        if ch.isspace():
            continue
        n = int(run) if run else 1
        run = ''
        if ch == 'b':
            x += n
        elif ch == 'o':
            cells.update((x + i, y) for i in range(n))
            x += n
        elif ch == '$':
            x, y = 0, y + n
        elif ch == '!':
            break
        else:
            raise ValueError('unexpected character %r in the cells' % ch)
    return cells


def read_rle_file(path):
    """(width, height, rule, set of live (x, y) from the top-left) of an RLE
    file; the rule is B3/S23 where the header names none."""
    header, body = None, []
    with open(path) as f:
        for line in f:
            if line.startswith("#"):
                continue
            if header is None:
                found = re.match(r"\s*x\s*=\s*(\d+)\s*,\s*y\s*=\s*(\d+)\s*(?:,\s*rule\s*=\s*(\S+))?", line)
                if not found:
                    raise ValueError("%s: no header line" % path)
                header = (int(found.group(1)), int(found.group(2)), found.group(3) or "B3/S23")
                continue
            body.append(line.strip())
    if header is None:
        raise ValueError("%s: no header line" % path)
    return header + (rle_cells("".join(body)),)


def placed(cells, like):
    """cells moved so that their bounding box's corner is that of like: bgolly
    writes a pattern's bounding box without its place."""
    if not cells or not like:
        return cells
    dx = min(x for x, _ in like) - min(x for x, _ in cells)
    dy = min(y for _, y in like) - min(y for _, y in cells)
    return {(x + dx, y + dy) for x, y in cells}
