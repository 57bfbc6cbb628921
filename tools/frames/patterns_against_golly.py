#!/usr/bin/env python3
"""Pattern files run by tumbra_frames and by Golly's bgolly on the same torus
give the same fields, cell for cell and state for state.

    patterns_against_golly.py TUMBRA_FRAMES WORK_DIR EVERY_KTH shipped PATTERN_DIR
    patterns_against_golly.py TUMBRA_FRAMES WORK_DIR EVERY_KTH golly GOLLY_PATTERNS

shipped: every .rle file of PATTERN_DIR, on the 1024 x 768 torus.
golly: every file of Golly's folders of every family (Generations,
Non-Totalistic, Larger-than-Life and Life-Like, with their subfolders) and
the gzipped files of its Life folder, each on a torus that holds it: the
torus its rule names, else one a little wider than tall, its height the
pattern's larger side with a margin and room for a Larger than Life rule's
reach on both sides. A file
that is no pattern, or larger than tumbra_frames' largest torus, is left
out; one whose rule is a B0 rule or names a grid tumbra does not run must be
refused, with the rule named and why.
With EVERY_KTH only every k-th file by name is run (a slow sanitizer build).
Every file is printed with what became of it.

For each pattern file, tumbra_frames --pattern FILE dumps the field of
generation 1, which must be the file's cells (as bgolly reads them) turned to
one of their eight orientations and centred on the torus, under the file's
rule as bgolly names it; bgolly then continues that dump, and its fields
after the later generations must be tumbra's own dumps of them.
"""
import collections
import concurrent.futures
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "lib"))
from rle import placed, read_rle_states  # noqa: E402

SEED = "4242"
SIDE_LIMIT = 8192  # tumbra_frames' largest torus side

# The generations compared, and the run that dumps them among those of every
# EVERY-th frame.
# The field: width x height cells, a torus ('T') or a bounded plane ('P')
# whose border of `edge` cells tumbra keeps dead around it.
Plan = collections.namedtuple("Plan", "width height later every topology edge", defaults=("T", 0))
SHIPPED_PLAN = Plan(1024, 768, [100, 300], 100)
GOLLY_LATER, GOLLY_EVERY = [10, 50, 100], 10

# Golly's folders, and the options bgolly reads their files with (none: its
# own algorithm, which reads Life-like and the other rules of the 3 x 3 block).
GOLLY_FOLDERS = [
    ("Generations", ["-a", "Generations"]),
    ("Non-Totalistic", []),
    ("Larger-than-Life", ["-a", "Larger than Life"]),
    ("Life-Like", []),
]
PATTERN_EXTENSIONS = (".rle", ".mcl", ".lif", ".life", ".mc", ".cells", ".gz")
NOT_PATTERNS = {".lua": "a Lua script", ".zip": "a zip archive of scripts and rules", ".py": "a Python script"}

# What tumbra says of a rule it does not run, after the rule's text.
B0_REFUSAL = "B0 rules turn every empty cell on and off each generation"
GRID_REFUSALS = {
    "K": "its grid is a Klein bottle, which tumbra does not run",
    "C": "its grid is a cross-surface, which tumbra does not run",
    "S": "its grid is a sphere, which tumbra does not run",
    "shift": "its grid's edges are joined with a shift, which tumbra does not run",
}


def bgolly_options(rule):
    """The algorithm bgolly runs a rule of tumbra's dumps with: Generations
    are written survive/birth/states (MAP tables with /states after them),
    Larger than Life as Rr,Cc,..."""
    text = rule.split(":")[0]
    if re.match(r"R\d+,C\d+,M[01],S\d+\.\.\d+,B\d+\.\.\d+,N[MNC]$", text):
        return ["-a", "Larger than Life"]
    if text.startswith("MAP"):  # base64 has '/' among its digits: the tables' lengths tell
        return ["-a", "Generations"] if re.fullmatch(r"MAP(?:.{86}|.{22}|.{6})(?:==)?/\d+", text) else []
    if text.count("/") == 2:
        return ["-a", "Generations"]
    return []


def bgolly(options, generations, source, out):
    """Runs bgolly from a file for some generations into out; a problem, or None."""
    if os.path.exists(out):
        os.remove(out)
    golly = subprocess.run(["bgolly"] + options + ["-q", "-q", "-m", str(generations), "-o", out, source],
                           capture_output=True, text=True)
    if golly.returncode != 0 or not os.path.exists(out):
        lines = (golly.stdout + golly.stderr).strip().splitlines()
        return "bgolly failed: " + (lines[-1] if lines else f"exit {golly.returncode}")
    return None


def frames(program, path, prefix, plan, count, every):
    """Runs tumbra_frames on the pattern file; a problem, or None."""
    size = f"{plan.width + 2 * plan.edge}x{plan.height + 2 * plan.edge}"
    run = subprocess.run([program, "--mode", "classic", "--cscale", "0", "--size", size,
                          "--no-plane",
                          "--pattern", path, "--seed", SEED, "--reset", "86400000", "--frames", str(count),
                          "--every", str(every), "--dump", prefix + ".rle", "--dump-only"],
                         capture_output=True, text=True)
    if run.returncode != 0:
        return f"tumbra_frames failed: {run.stderr.strip()}"
    if any(not re.search(r"resets 1, pattern ", line) for line in run.stdout.splitlines()):
        return "the pattern field was replaced during the run:\n" + run.stdout
    return None


def orientations(states, width, height, columns, rows):
    """The cells {(x, y): state} of a width x height pattern centred on the
    torus in each orientation that fits: bit 2 swaps x and y, then bit 0
    mirrors x and bit 1 mirrors y."""
    for orientation in range(8):
        swap = orientation & 4
        across, down = (height, width) if swap else (width, height)
        if across > columns or down > rows:
            continue
        x0, y0 = (columns - across) // 2, (rows - down) // 2
        turned = {}
        for (x, y), state in states.items():
            if swap:
                x, y = y, x
            if orientation & 1:
                x = across - 1 - x
            if orientation & 2:
                y = down - 1 - y
            turned[(x0 + x, y0 + y)] = state
        yield turned


def difference(ours, theirs):
    only_ours = sum(1 for cell, state in ours.items() if theirs.get(cell) != state)
    only_theirs = sum(1 for cell, state in theirs.items() if ours.get(cell) != state)
    return f"{only_ours} cells of ours not so in bgolly's, {only_theirs} of bgolly's not so in ours"


def compare_run(program, path, prefix, pattern, plan):
    """Runs the pattern (width, height, rule, {(x, y): state}) through
    tumbra_frames and bgolly: a problem, or the number of cells not dead at
    the last generation compared. A rule of None is not compared."""
    width, height, file_rule, states = pattern
    problem = (frames(program, path, prefix + "-first", plan, 1, 1) or
               frames(program, path, prefix, plan, plan.later[-1], plan.every))
    if problem:
        return problem
    first = prefix + "-first-000001.rle"
    _, _, rule, start = read_rle_states(first)
    torus = f":{plan.topology}{plan.width},{plan.height}"
    if not rule.endswith(torus):
        return f"the dump runs {rule}, not on the {plan.width} x {plan.height} grid {torus}"
    if file_rule is not None and rule[:-len(torus)] != file_rule.split(":")[0]:
        return f"the dump runs {rule}, the file {file_rule}"
    if start not in list(orientations(states, width, height, plan.width, plan.height)):
        return "generation 1 is not the file's pattern in one of its orientations, centred"
    options = bgolly_options(rule)
    for generation in plan.later:
        out = f"{prefix}-golly-{generation}.rle"
        problem = bgolly(options, generation - 1, first, out)
        if problem:
            return problem
        _, _, golly_rule, theirs = read_rle_states(out)
        if golly_rule != rule:
            return f"bgolly ran {golly_rule}, the dump says {rule}"
        _, _, _, ours = read_rle_states(f"{prefix}-{generation:06d}.rle")
        theirs = placed(theirs, ours)
        if theirs != ours:
            return f"generation {generation} differs from bgolly's: {difference(ours, theirs)}"
    return len(ours)


def check_shipped(program, folder, name, work):
    """('run', what) or ('FAIL', problem) for a shipped pattern."""
    path = os.path.join(folder, name)
    width, height, _, states = read_rle_states(path)
    outcome = compare_run(program, path, os.path.join(work, name[:-4]), (width, height, None, states), SHIPPED_PLAN)
    if isinstance(outcome, str):
        return "FAIL", outcome
    return "run", f"{width} x {height} on the 1024 x 768 torus, {outcome} cells at generation {SHIPPED_PLAN.later[-1]}"


def file_pattern(path, options, prefix):
    """(width, height, rule, {(x, y): state}) of a pattern file as bgolly
    reads it, or a problem text. bgolly writes the cells' bounding box; an
    RLE file's cells keep the place its header gives them (tumbra centres the
    size the header gives), read here and checked against bgolly's."""
    out = prefix + "-golly-0.rle"
    problem = bgolly(options, 0, path, out)
    if problem:
        return problem
    width, height, rule, states = read_rle_states(out)
    try:
        own_width, own_height, _, own = read_rle_states(path)
    except ValueError:
        return width, height, rule, states
    if placed(states, own) != own:
        return "the script's reader and bgolly read the file's cells differently"
    return own_width, own_height, rule, own


def rule_names(path, rule):
    """The texts tumbra may name a refused rule by: the file's own (an RLE
    header's) and the canonical one, which bgolly writes."""
    names = [rule]
    try:
        with open(path, errors="replace") as f:
            for line in f:
                found = re.match(r"\s*x\s*=.*rule\s*=\s*(.*?)\s*$", line)
                if found:
                    names.append(found.group(1))
                    break
    except OSError:
        pass
    return names


BASE64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"


def birth_on_zero(rule):
    """True when a dead cell with no live neighbours is born: in every
    notation bgolly writes."""
    text = rule.split(":")[0]
    larger = re.match(r"R\d+,C\d+,M[01],S\d+\.\.\d+,B(\d+)\.\.", text)
    if larger:
        return int(larger.group(1)) == 0
    if text.startswith("MAP"):
        return BASE64.index(text[3]) >= 32  # the all-dead neighbourhood: the first digit's top bit
    parts = text.split("/")
    if len(parts) == 3:
        return "0" in parts[1]  # survive/birth/states
    return text.startswith("B0")


def grid_refusal(rule):
    """What tumbra says of a grid it does not run, or None."""
    grid = re.search(r":([A-Za-z])(\S*)$", rule)
    if not grid:
        return None
    topology = grid.group(1).upper()
    if topology in GRID_REFUSALS:
        return GRID_REFUSALS[topology]
    return GRID_REFUSALS["shift"] if re.search(r"[-+*]", grid.group(2)) else None


def expect_refusal(program, path, prefix, names, why):
    """('refused', what tumbra_frames said) when it refuses the file with
    exit 2, naming its rule by one of the names and saying why; else
    ('FAIL', ...)."""
    run = subprocess.run([program, "--mode", "classic", "--cscale", "0", "--size", "64x64", "--pattern", path,
                          "--frames", "1", "--out", prefix + ".bmp"], capture_output=True, text=True)
    said = run.stderr.strip()
    lines = [f"tumbra_frames: --pattern {path}: {name}: {why}" for name in names]
    if run.returncode != 2 or not any(said.startswith(line) for line in lines):
        return "FAIL", f"expected exit 2 with {lines[-1]!r}, got exit {run.returncode}: {said}"
    return "refused", said[len(f"tumbra_frames: --pattern {path}: "):]


def golly_torus(rule, width, height):
    """(columns, rows) of the torus a file of Golly's runs on, or why it is
    left out."""
    grid = re.search(r":([TP])(\d+),(\d+)$", rule)
    larger = re.match(r"R(\d+),", rule)
    if grid and int(grid.group(2)) > 0 and int(grid.group(3)) > 0:
        columns, rows = int(grid.group(2)), int(grid.group(3))
        # A bounded plane runs within a dead border of the rule's reach.
        edge = (int(larger.group(1)) if larger else 1) if grid.group(1) == "P" else 0
        if max(columns, rows) + 2 * edge > SIDE_LIMIT:
            return f"its grid, {columns} x {rows}, is larger than tumbra_frames' {SIDE_LIMIT}"
        return columns, rows, grid.group(1), edge
    extent = max(width, height)
    if extent > SIDE_LIMIT:
        return f"{width} x {height} cells do not fit a torus of {SIDE_LIMIT} x {SIDE_LIMIT}"
    larger = re.match(r"R(\d+),", rule)
    reach = 2 * int(larger.group(1)) if larger else 2
    rows = extent + reach + max(64, extent // 4)
    # Wider than tall, so that axes mixed up anywhere show.
    return min(SIDE_LIMIT, rows + rows // 8), min(SIDE_LIMIT, rows), "T", 0


def check_golly(program, root, name, options, work):
    """(what became of a file of Golly's, and why): 'run', 'refused', 'left
    out' or 'FAIL'."""
    path = os.path.join(root, name)
    extension = os.path.splitext(name)[1].lower()
    if extension not in PATTERN_EXTENSIONS:
        return "left out", "not a pattern: " + NOT_PATTERNS.get(extension, "a file of another kind")
    prefix = os.path.join(work, name.replace("/", "--"))
    pattern = file_pattern(path, options, prefix)
    if isinstance(pattern, str):
        return "FAIL", pattern
    width, height, rule, states = pattern
    why = B0_REFUSAL if birth_on_zero(rule) else grid_refusal(rule)
    if why:
        return expect_refusal(program, path, prefix, rule_names(path, rule), why)
    torus = golly_torus(rule, width, height)
    if isinstance(torus, str):
        return "left out", torus
    plan = Plan(torus[0], torus[1], GOLLY_LATER, GOLLY_EVERY, torus[2], torus[3])
    outcome = compare_run(program, path, prefix, pattern, plan)
    if isinstance(outcome, str):
        return "FAIL", outcome
    return "run", (f"{width} x {height} under {rule} on the {plan.width} x {plan.height} "
                   f"{'torus' if plan.topology == 'T' else 'bounded plane'}, {outcome} cells "
                   f"at generation {plan.later[-1]}")


def golly_files(root):
    """(name under root, bgolly's options for reading it) of every file to run."""
    files = []
    for folder, options in GOLLY_FOLDERS:
        for top, _, names in os.walk(os.path.join(root, folder)):
            files += [(os.path.relpath(os.path.join(top, n), root), options) for n in names]
    for top, _, names in os.walk(os.path.join(root, "Life")):
        files += [(os.path.relpath(os.path.join(top, n), root), []) for n in names if n.endswith(".gz")]
    return sorted(files)


def main():
    if len(sys.argv) != 6 or sys.argv[4] not in ("shipped", "golly"):
        raise SystemExit(__doc__)
    program, work, kth, collection, folder = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4], sys.argv[5]
    os.makedirs(work, exist_ok=True)
    if collection == "shipped":
        jobs = [(n, lambda n=n: check_shipped(program, folder, n, work))
                for n in sorted(n for n in os.listdir(folder) if n.endswith(".rle"))]
    else:
        jobs = [(n, lambda n=n, o=o: check_golly(program, folder, n, o, work)) for n, o in golly_files(folder)]
    jobs = jobs[::kth]
    with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
        outcomes = list(pool.map(lambda job: job[1](), jobs))
    counts = collections.Counter()
    for (name, _), (kind, what) in zip(jobs, outcomes):
        counts[kind] += 1
        print(f"{kind}: {name}: {what}")
    print(f"{len(jobs)} files: {counts['run']} run by tumbra_frames and bgolly alike, {counts['refused']} refused "
          f"as expected, {counts['left out']} left out, {counts['FAIL']} failed")
    return 1 if counts["FAIL"] or not counts["run"] else 0


if __name__ == "__main__":
    sys.exit(main())
