"""The cells of an RLE body, for the scripts that check patterns against bgolly."""


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
