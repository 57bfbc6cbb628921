#!/usr/bin/env python3
"""StepLarger and Golly's bgolly, run on the same torus, agree cell for cell
and state for state.

    larger_against_golly.py LARGER_TORUS WORK_DIR [PATTERN_DIR]

Each case is a field on a torus given by the rule's grid suffix (":T200,200"):
soups of live and dying cells under rules of every shape, middle and number
of states (tori as narrow as Golly makes them, twice the range, among them),
and Golly's own Larger than Life patterns (PATTERN_DIR, by default Golly's
pattern folder; the .mcl files are MCell's format, not read here). bgolly
runs the field from an RLE file placed on the torus by its #CXRLE position,
larger_torus from the same states, and every generation of the case's list
is compared, for each set of loops this CPU runs (larger_torus --sets).
bgolly writes a field's bounding box without its place; on the
torus that box lies in Golly's fixed frame (-w/2 .. w - w/2 - 1 across), so
each field is compared with ours in its bounding box, and the boxes' sizes
as well. Exits 77 (skipped) without bgolly.
"""
import os
import random
import re
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'tools', 'lib'))
from rle import read_rle_states  # noqa: E402

GOLLY_PATTERNS = "/usr/share/golly/Patterns/Larger-than-Life"
RULE = re.compile(r"R(\d+),C(\d+),M([01]),S(\d+)\.\.(\d+),B(\d+)\.\.(\d+),N([MNC])(?::T(\d+),(\d+))?$")

# (name, rule with its torus, live share, dying share, seed, generations)
SOUPS = [
    ("bosco", "R5,C0,M1,S34..58,B34..45,NM:T200,200", 0.4, 0.0, 1, [1, 2, 3, 10, 30]),
    ("life", "R1,C0,M0,S2..3,B3..3,NM:T64,48", 0.35, 0.0, 2, [1, 5, 40]),
    ("diamond-odd", "R5,C0,M1,S17..29,B17..22,NN:T97,61", 0.4, 0.0, 3, [1, 2, 10, 30]),
    ("disc-m0", "R4,C0,M0,S15..30,B16..24,NC:T64,50", 0.4, 0.0, 4, [1, 2, 10, 30]),
    ("dying-square", "R2,C5,M0,S3..8,B5..9,NM:T80,60", 0.35, 0.15, 5, [1, 2, 3, 10, 25]),
    ("dying-diamond", "R3,C25,M1,S6..12,B7..10,NN:T71,43", 0.35, 0.2, 6, [1, 2, 10, 40]),
    ("dying-disc", "R7,C3,M1,S40..80,B45..65,NC:T60,60", 0.4, 0.1, 7, [1, 2, 10, 30]),
    ("many-states", "R10,C255,M1,S2..3,B3..3,NM:T90,70", 0.008, 0.3, 8, [1, 2, 30, 120]),
    # Tori of twice the range, the narrowest Golly makes: the window wraps.
    ("narrow-columns", "R5,C0,M1,S34..58,B34..45,NM:T10,37", 0.4, 0.0, 9, [1, 2, 5, 20]),
    ("narrow-rows", "R5,C4,M0,S30..60,B34..45,NM:T37,10", 0.4, 0.1, 10, [1, 2, 3, 5, 10]),
    ("narrow-diamond", "R6,C4,M0,S20..45,B22..30,NN:T12,12", 0.4, 0.1, 11, [1, 2, 5, 20]),
    ("narrow-disc", "R6,C3,M1,S50..80,B55..65,NC:T12,13", 0.42, 0.0, 1, [1, 2, 3, 5]),
    ("r100-diamond", "R100,C0,M1,S5612..9776,B5612..7585,NN:T230,210", 0.4, 0.0, 13, [1, 2, 5]),
]

# Golly's patterns: the generations compared, and a torus for those whose
# rule names none (or a plane): the pattern with room around it.
PATTERN_GENERATIONS = [1, 2, 5, 20, 60]
LARGE_GENERATIONS = [1, 2, 6]  # R100 and R500: each generation costs bgolly more


def parse_rule(text):
    found = RULE.match(text)
    if not found:
        raise ValueError("not a Larger than Life rule this test reads: " + text)
    r, c, m, sl, sh, bl, bh, n, w, h = found.groups()
    return {"range": int(r), "states": max(2, int(c)), "middle": int(m), "survive": (int(sl), int(sh)),
            "birth": (int(bl), int(bh)), "shape": n, "torus": (int(w), int(h)) if w else None}


def state_token(state, states):
    if states == 2:
        return "o" if state else "b"
    if state == 0:
        return "."
    if state <= 24:
        return chr(ord("A") + state - 1)
    return chr(ord("p") + (state - 25) // 24) + chr(ord("A") + (state - 25) % 24)


def write_rle(path, cells, width, height, rule_text, states, pos):
    """cells {(x, y): state} of a width x height box as RLE, placed at pos."""
    lines = ["#CXRLE Pos=%d,%d" % pos, "x = %d, y = %d, rule = %s" % (width, height, rule_text)]
    items = []  # runs and row ends, never split across lines (bgolly reads no split state)
    for y in range(height):
        runs, last, count = [], None, 0
        for x in range(width):
            token = state_token(cells.get((x, y), 0), states)
            if token == last:
                count += 1
                continue
            if last is not None:
                runs.append((count, last))
            last, count = token, 1
        if last is not None and cells.get((width - 1, y), 0):
            runs.append((count, last))
        items.extend(("%d%s" % (n, t) if n > 1 else t) for n, t in runs)
        items.append("$" if y + 1 < height else "!")
    line = ""
    for item in items:
        if len(line) + len(item) > 70:
            lines.append(line)
            line = ""
        line += item
    lines.append(line)
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


def golly_frame(width, height):
    """Golly's coordinates of the torus' top-left cell."""
    return -(width // 2), -(height // 2)


def boxed(cells):
    """cells moved to their bounding box's corner, and the box's size."""
    if not cells:
        return {}, (0, 0)
    x0 = min(x for x, _ in cells)
    y0 = min(y for _, y in cells)
    x1 = max(x for x, _ in cells)
    y1 = max(y for _, y in cells)
    return {(x - x0, y - y0): s for (x, y), s in cells.items()}, (x1 - x0 + 1, y1 - y0 + 1)


def run_case(tool, sets, work, name, rule_text, start, generations, failures):
    """start: {(x, y): state} on the rule's torus, x and y from its top-left."""
    rule = parse_rule(rule_text)
    width, height = rule["torus"]
    states = rule["states"]
    left, top = golly_frame(width, height)
    origin = (min((x for x, _ in start), default=0), min((y for _, y in start), default=0))
    box, (bw, bh) = boxed(start)
    pattern = os.path.join(work, name + ".rle")
    write_rle(pattern, box, max(bw, 1), max(bh, 1), rule_text, states, (left + origin[0], top + origin[1]))
    field = bytearray(width * height)
    for (x, y), s in start.items():
        field[y * width + x] = s
    cells_in = os.path.join(work, name + ".cells")
    with open(cells_in, "wb") as f:
        f.write(field)
    prefixes = {}
    for kernels in sets:
        prefix = prefixes[kernels] = os.path.join(work, "%s-%s" % (name, kernels))
        ours = subprocess.run([tool, "--set", kernels, str(width), str(height), str(rule["range"]), str(states),
                               str(rule["middle"]), rule["shape"], str(rule["survive"][0]), str(rule["survive"][1]),
                               str(rule["birth"][0]), str(rule["birth"][1]), cells_in, prefix] +
                              [str(g) for g in generations], capture_output=True, text=True)
        if ours.returncode != 0:
            failures.append("%s: larger_torus --set %s failed: %s" % (name, kernels, ours.stderr.strip()))
            return
    counts = []
    for g in generations:
        out = os.path.join(work, "%s-golly-%d.rle" % (name, g))
        if os.path.exists(out):
            os.remove(out)
        golly = subprocess.run(["bgolly", "-q", "-q", "-a", "Larger than Life", "-m", str(g), "-o", out, pattern],
                               capture_output=True, text=True)
        if golly.returncode != 0 or not os.path.exists(out) or "error" in golly.stdout.lower():
            failures.append("%s: bgolly failed at generation %d: %s%s" % (name, g, golly.stdout, golly.stderr))
            return
        gw, gh, golly_rule, golly_cells = read_rle_states(out)
        if golly_rule != rule_text:
            failures.append("%s: bgolly ran %s, not %s" % (name, golly_rule, rule_text))
            return
        golly_box, _ = boxed(golly_cells)
        golly_size = (gw, gh) if golly_cells else (0, 0)
        for kernels, prefix in prefixes.items():
            with open("%s-%d" % (prefix, g), "rb") as f:
                mine = f.read()
            our_cells = {(i % width, i // width): s for i, s in enumerate(mine) if s}
            our_box, our_size = boxed(our_cells)
            if our_size != golly_size or our_box != golly_box:
                differing = sorted(set(our_box.items()) ^ set(golly_box.items()))[:5]
                failures.append("%s generation %d (%s): %d cells and box %s here, %d and %s in bgolly; "
                                "first differences %s" % (name, g, kernels, len(our_cells), our_size,
                                                          len(golly_cells), golly_size, differing))
                return
        if g == generations[0] and not our_cells:
            failures.append("%s: nothing left at generation %d to tell" % (name, g))
            return
        counts.append("%d: %d" % (g, len(our_cells)))
    print("%s %s: cells agree at generations %s" % (name, rule_text, ", ".join(counts)))


def soup(width, height, states, live, dying, seed):
    rnd = random.Random(seed)
    cells = {}
    for y in range(height):
        for x in range(width):
            u = rnd.random()
            if u < live:
                cells[(x, y)] = 1
            elif states > 2 and u < live + dying:
                cells[(x, y)] = rnd.randrange(2, states)
    return cells


def pattern_case(path):
    """(rule with a torus, the pattern's cells placed on it, generations)."""
    _, _, rule_text, cells = read_rle_states(path)
    base, _, grid = rule_text.partition(":")
    rule = parse_rule(base)
    box, (bw, bh) = boxed(cells)
    found = re.match(r"[TP](\d+),(\d+)$", grid)
    r = rule["range"]
    width, height = (int(found.group(1)), int(found.group(2))) if found else (0, 0)
    # Room around the pattern for its neighbourhoods not to meet across the
    # torus at once.
    width, height = max(width, bw + 2 * r + 60), max(height, bh + 2 * r + 60)
    x0, y0 = (width - bw) // 2, (height - bh) // 2
    placed = {(x + x0, y + y0): s for (x, y), s in box.items()}
    generations = LARGE_GENERATIONS if r >= 100 else PATTERN_GENERATIONS
    return "%s:T%d,%d" % (base, width, height), placed, generations


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    tool, work = sys.argv[1], sys.argv[2]
    patterns = sys.argv[3] if len(sys.argv) > 3 else GOLLY_PATTERNS
    if shutil.which("bgolly") is None:
        print("bgolly is not installed: skipped")
        return 77
    os.makedirs(work, exist_ok=True)
    listed = subprocess.run([tool, "--sets"], capture_output=True, text=True)
    sets = listed.stdout.split()
    if listed.returncode != 0 or not sets:
        print("larger_torus --sets failed: " + listed.stderr)
        return 1
    print("sets of loops: " + ", ".join(sets))
    failures = []
    for name, rule_text, live, dying, seed, generations in SOUPS:
        rule = parse_rule(rule_text)
        width, height = rule["torus"]
        run_case(tool, sets, work, name, rule_text, soup(width, height, rule["states"], live, dying, seed),
                 generations, failures)
    files = sorted(f for f in os.listdir(patterns) if f.endswith(".rle")) if os.path.isdir(patterns) else []
    if not files:
        failures.append("no Larger than Life patterns in " + patterns)
    for f in files:
        rule_text, cells, generations = pattern_case(os.path.join(patterns, f))
        run_case(tool, sets, work, os.path.splitext(f)[0], rule_text, cells, generations, failures)
    for failure in failures:
        print("FAIL " + failure)
    cases = len(SOUPS) + len(files)
    print("%d passed, %d failed" % (cases - len(failures), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
