"""The cells of an RLE body or file, for the scripts that check patterns against bgolly."""
import gzip
import re


def rle_states(body):
    """The state of each cell that is not dead, {(x, y): state}, from the
    pattern's top-left, of a run-length body: 'b' or '.' dead, 'o' or 'A'
    alive, 'B'..'X' states 2..24, 'p'..'y' before 'A'..'X' adding 24 for each
    letter from 'p' on (pA is 25, yO 255), '$' rows, '!' the end; ValueError
    on anything else."""
    states, x, y, run, prefix = {}, 0, 0, '', 0
    for ch in body:
        if ch.isdigit() and not prefix:
            run += ch
            continue
        if ch.isspace():
            continue
        if 'p' <= ch <= 'y' and not prefix:
            prefix = 24 * (ord(ch) - ord('p') + 1)
            continue
        n = int(run) if run else 1
        run = ''
        if ch in 'b.' and not prefix:
            x += n
        elif ch == 'o' and not prefix:
            states.update(((x + i, y), 1) for i in range(n))
            x += n
        elif 'A' <= ch <= 'X' and prefix + ord(ch) - ord('A') + 1 <= 255:
            state = prefix + ord(ch) - ord('A') + 1
            states.update(((x + i, y), state) for i in range(n))
            x += n
        elif ch == '$' and not prefix:
            x, y = 0, y + n
        elif ch == '!' and not prefix:
            break
        else:
            raise ValueError('unexpected character %r in the cells' % ch)
        prefix = 0
    return states


def rle_cells(body):
    """The (x, y) of the cells that are not dead (of two-state patterns, the
    live ones) of a run-length body, from the pattern's top-left."""
    return set(rle_states(body))


def open_text(path):
    """A file for reading as text, inflated when it is gzipped (by its magic
    bytes, whatever its name)."""
    with open(path, "rb") as f:
        gzipped = f.read(2) == b"\x1f\x8b"
    return gzip.open(path, "rt") if gzipped else open(path)


def read_rle_states(path):
    """(width, height, rule, {(x, y): state} of the cells that are not dead,
    from the top-left) of an RLE file, perhaps gzipped; the rule is B3/S23
    where the header names none. ValueError when it is not RLE."""
    header, body = None, []
    with open_text(path) as f:
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
    return header + (rle_states("".join(body)),)


def read_rle_file(path):
    """(width, height, rule, set of live (x, y) from the top-left) of an RLE
    file; the rule is B3/S23 where the header names none."""
    width, height, rule, states = read_rle_states(path)
    return width, height, rule, set(states)


def placed(cells, like):
    """cells (a set of positions, or positions and their states) moved so
    that their bounding box's corner is that of like: bgolly writes a
    pattern's bounding box without its place."""
    if not cells or not like:
        return cells
    dx = min(x for x, _ in like) - min(x for x, _ in cells)
    dy = min(y for _, y in like) - min(y for _, y in cells)
    if isinstance(cells, dict):
        return {(x + dx, y + dy): state for (x, y), state in cells.items()}
    return {(x + dx, y + dy) for x, y in cells}
