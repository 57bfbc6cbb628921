#!/usr/bin/env python3
"""Pattern fields on the plane, stepped by tumbra_frames 2^8 generations a
frame, against bgolly's HashLife.

    plane_against_golly.py TUMBRA_FRAMES GOLLY_PATTERNS WORK_DIR [EVERY_KTH]

For every file of Golly's HashLife folder (but the one-dimensional
wolfram22.mc) and the largest Life patterns (the breeders, the spacefiller,
the Corderships guns, the telegraph), tumbra_frames --plane --step 8 runs a
pattern field of that file alone and dumps the plane as macrocell (with its
generation) and as RLE. bgolly reads the dump and tells its population;
bgolly -h runs the file itself to the same generation: the populations must
be the same, and where the pattern is small enough, the cells too, up to the
orientation tumbra drew and a translation. Exit 77 without bgolly.
"""
import concurrent.futures
import os
import re
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "lib"))
from rle import read_rle_file  # noqa: E402

STEP = 8
FRAMES = 5         # the first makes the field: four steps, generation 1024
CELLS_COMPARED = 200000

LARGEST_LIFE = ["Breeders", "Guns/infinite-Corderships-gun.rle.gz", "Guns/7-in-a-row-Cordership-V-gun.rle",
                "Guns/Cordership-gun-p784.rle", "Guns/p690-PT-Cordership-gun.rle",
                "Signal-Circuitry/high-bandwidth-telegraph.rle.gz"]


def files(golly):
    hashlife = os.path.join(golly, "HashLife")
    found = [os.path.join(hashlife, n) for n in sorted(os.listdir(hashlife)) if n != "wolfram22.mc"]
    for entry in LARGEST_LIFE:
        path = os.path.join(golly, "Life", entry)
        if os.path.isdir(path):
            found += [os.path.join(path, n) for n in sorted(os.listdir(path))]
        else:
            found.append(path)
    return found


def population(output):
    """The last "generation: population" line bgolly printed, as numbers."""
    lines = re.findall(r"^([0-9,]+): ([0-9,]+)$", output, re.M)
    if not lines:
        return None
    generation, count = lines[-1]
    return int(generation.replace(",", "")), int(count.replace(",", ""))


def normal(cells):
    """The cells from their bounding box's corner, in the first of their
    eight orientations, so that a turned or moved pattern compares equal."""
    if not cells:
        return frozenset()
    shapes = []
    for o in range(8):
        turned = [((y, x) if o & 4 else (x, y)) for x, y in cells]
        turned = [((-x if o & 1 else x), (-y if o & 2 else y)) for x, y in turned]
        left = min(x for x, _ in turned)
        top = min(y for _, y in turned)
        shapes.append(tuple(sorted((x - left, y - top) for x, y in turned)))
    return min(shapes)


def check(program, path, work):
    name = os.path.basename(path)
    prefix = os.path.join(work, re.sub(r"[^A-Za-z0-9.-]", "_", name))
    run = subprocess.run([program, "--mode", "classic", "--plane", "--step", str(STEP), "--pattern", path,
                          "--seed", "1", "--reset", "86400000", "--frames", str(FRAMES), "--dump",
                          prefix + ".mc", "--dump-only"], capture_output=True, text=True)
    if run.returncode != 0:
        return f"tumbra_frames failed: {run.stderr.strip()}"
    if "resets 1," not in run.stdout:
        return "the field was replaced: " + run.stdout.strip()
    with open(prefix + ".mc") as dump:
        head = dump.read(4096)
    generation = int(re.search(r"^#G (\d+)", head, re.M).group(1))
    ours = population(subprocess.run(["bgolly", "-h", "-m", "0", prefix + ".mc"], capture_output=True,
                                     text=True).stdout)
    theirs_run = subprocess.run(["bgolly", "-h", "-m", str(generation), "-o", prefix + "-golly.rle", path],
                                capture_output=True, text=True)
    theirs = population(theirs_run.stdout)
    if ours is None or theirs is None:
        return f"bgolly printed no population: {theirs_run.stdout[-200:]}"
    if ours[0] != generation or theirs[0] != generation:
        return f"generations {ours[0]} and {theirs[0]}, the dump says {generation}"
    if ours[1] != theirs[1]:
        return f"generation {generation}: population {ours[1]}, bgolly's {theirs[1]}"
    compared = ""
    if ours[1] <= CELLS_COMPARED:
        run = subprocess.run([program, "--mode", "classic", "--plane", "--step", str(STEP), "--pattern", path,
                              "--seed", "1", "--reset", "86400000", "--frames", str(FRAMES), "--dump",
                              prefix + ".rle", "--dump-only"], capture_output=True, text=True)
        if run.returncode != 0:
            return f"tumbra_frames failed: {run.stderr.strip()}"
        _, _, _, ours_cells = read_rle_file(prefix + ".rle")
        _, _, _, theirs_cells = read_rle_file(prefix + "-golly.rle")
        if normal(ours_cells) != normal(theirs_cells):
            return f"generation {generation}: the cells differ from bgolly's"
        compared = ", the same cells"
    print(f"{name}: generation {generation}, population {ours[1]} as bgolly's{compared}", flush=True)
    return None


def main():
    if shutil.which("bgolly") is None:
        print("bgolly is missing")
        return 77
    program, golly, work = sys.argv[1:4]
    kth = int(sys.argv[4]) if len(sys.argv) > 4 else 1
    os.makedirs(work, exist_ok=True)
    paths = files(golly)[::kth]
    with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
        problems = dict(zip(paths, pool.map(lambda p: check(program, p, work), paths)))
    failures = {p: problem for p, problem in problems.items() if problem}
    for path, problem in failures.items():
        print(f"FAIL: {path}: {problem}")
    print(f"{len(paths)} patterns on the plane against bgolly's HashLife, {len(failures)} differ")
    return 1 if failures or not paths else 0


if __name__ == "__main__":
    sys.exit(main())
