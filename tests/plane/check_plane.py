#!/usr/bin/env python3
"""The plane against bgolly's HashLife: every pattern of Golly's HashLife
folder (the one-dimensional wolfram22.mc aside) and the largest Life patterns
are stepped 2^8 generations at a time, a few times, by plane_check and by
bgolly -h; the populations must agree at every generation both print, and
where the last generation is small enough, so must its cells (from the two
RLE files, each taken from its own top-left corner: bgolly writes no
position). bgolly reads the last generation back from the macrocell and
RLE files plane_check writes, with the same generation and population.
Then runs in small memory limits: a breeder 120 steps of 2^12,
and totalperiodic 16 steps of 2^16 in a store it must collect to fit; both
must agree with bgolly at every step and stay within their limits.

    check_plane.py PLANE_CHECK [--self-test]

Exits 77 (skipped) without bgolly or Golly's patterns. With --self-test it
checks that a wrong population and a moved cell are caught.
"""
import gzip
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'tools', 'lib'))
from rle import read_rle_file  # noqa: E402

GOLLY = "/usr/share/golly/Patterns"
STEP_LOG = 8
STEPS = 4
CELL_LIMIT = 300000  # cells compared one by one up to this population
LIFE = [
    "Life/Breeders/breeder.lif",
    "Life/Breeders/LWSS-breeder.rle",
    "Life/Breeders/slide-breeder.rle",
    "Life/Breeders/rake-breeder.rle",
    "Life/Breeders/spacefiller.rle",
    "Life/Guns/infinite-Corderships-gun.rle.gz",
    "Life/Guns/Cordership-gun-p784.rle",
    "Life/Signal-Circuitry/high-bandwidth-telegraph.rle.gz",
]


# (pattern, step log, steps, megabytes, collections expected)
MEMORY_RUNS = [
    ("Life/Breeders/breeder.lif", 12, 120, 16, False),
    ("HashLife/totalperiodic.mc", 16, 16, 48, True),
]


def patterns():
    folder = os.path.join(GOLLY, "HashLife")
    names = sorted(n for n in os.listdir(folder) if n != "wolfram22.mc")
    return [os.path.join(folder, n) for n in names] + [os.path.join(GOLLY, p) for p in LIFE]


def inflated(path, work):
    """The pattern as a plain file (gzip inflated), keeping its extension."""
    if not path.endswith(".gz"):
        return path
    plain = os.path.join(work, os.path.basename(path)[:-3])
    with gzip.open(path, "rb") as source, open(plain, "wb") as target:
        shutil.copyfileobj(source, target)
    return plain


def populations(text):
    """{generation: population} from lines "1,024: 5,678"."""
    found = {}
    for line in text.splitlines():
        match = re.fullmatch(r"\s*([\d,]+):\s*([\d,]+)\s*", line)
        if match:
            found[int(match[1].replace(",", ""))] = int(match[2].replace(",", ""))
    return found


def rle_cells(path):
    """The live cells of an RLE file, from the top-left corner of their box."""
    return normalised(read_rle_file(path)[3])


def normalised(cells):
    if not cells:
        return cells
    left = min(c[0] for c in cells)
    top = min(c[1] for c in cells)
    return {(cx - left, cy - top) for cx, cy in cells}


def start_generation(path):
    with open(path, errors="replace") as f:
        for line in f:
            if line.startswith("#G"):
                return int(line[2:].strip() or 0)
            if line[:1] not in "#[":
                break
    return 0


def check(plane_check, path, work, mangle=None, step_log=STEP_LOG, steps=STEPS, memory=None, collects=False):
    """None when both agree, else what differs."""
    name = os.path.basename(path)
    ours_rle = os.path.join(work, name + ".ours.rle")
    golly_rle = os.path.join(work, name + ".golly.rle")
    limit = ["--memory", str(memory)] if memory else []
    ours_mc = os.path.join(work, name + ".ours.mc")
    ours = subprocess.run([plane_check, "--rle", ours_rle, "--rle-cells", str(CELL_LIMIT), "--mc", ours_mc] + limit +
                          [path, str(step_log), str(steps)],
                          capture_output=True, text=True)
    if ours.returncode != 0:
        return f"plane_check failed: {ours.stderr.strip()}"
    if memory:
        used = re.search(r"collections (\d+), memory (\d+) MB", ours.stderr)
        if not used or int(used[2]) > memory:
            return f"memory past {memory} MB: {ours.stderr.strip()}"
        if collects and int(used[1]) == 0:
            return f"no collection in {memory} MB: {ours.stderr.strip()}"
    end = start_generation(path) + steps * (1 << step_log)
    output = ["-o", golly_rle] if os.path.exists(ours_rle) else []  # large patterns: populations only
    golly = subprocess.run(["bgolly", "-h", "-i", str(1 << step_log), "-m", str(end)] + output + [path],
                           capture_output=True, text=True)
    if golly.returncode != 0:
        return f"bgolly failed: {golly.stdout.strip()[-200:]}"
    ours_pop, golly_pop = populations(ours.stdout), populations(golly.stdout)
    if mangle == "population":
        ours_pop[max(ours_pop)] += 1
    common = sorted(set(ours_pop) & set(golly_pop))
    if len(common) < steps:
        return f"only generations {common} in common (ours {sorted(ours_pop)}, bgolly {sorted(golly_pop)})"
    for g in common:
        if ours_pop[g] != golly_pop[g]:
            return f"generation {g}: population {ours_pop[g]}, bgolly {golly_pop[g]}"
    last = max(ours_pop)
    for written in [ours_mc] + ([ours_rle] if output else []):
        algorithm = ["-h"] if written.endswith(".mc") else []
        read = subprocess.run(["bgolly"] + algorithm + ["-m", "0", written], capture_output=True, text=True)
        if populations(read.stdout) != {last: ours_pop[last]}:
            return f"bgolly reads {os.path.basename(written)} as {populations(read.stdout)}, not {last}: {ours_pop[last]}"
    if last not in golly_pop or not output:
        return None
    mine, theirs = rle_cells(ours_rle), rle_cells(golly_rle)
    if mangle == "cell":
        cell = max(mine)
        mine = normalised((mine - {cell}) | {(cell[0] + 1, cell[1])})
    if mine != theirs:
        return f"generation {last}: {len(mine ^ theirs)} cells differ"
    return None


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    plane_check = sys.argv[1]
    if shutil.which("bgolly") is None or not os.path.isdir(os.path.join(GOLLY, "HashLife")):
        print("bgolly or Golly's patterns are missing: skipped")
        return 77
    with tempfile.TemporaryDirectory() as work:
        if "--self-test" in sys.argv[2:]:
            path = inflated(os.path.join(GOLLY, "HashLife", "jagged.mc"), work)
            failed = 0
            for mangle in ("population", "cell"):
                if check(plane_check, path, work, mangle) is None:
                    print(f"a wrong {mangle} went unnoticed")
                    failed += 1
            print(f"{2 - failed} passed, {failed} failed")
            return 1 if failed else 0
        failed = 0
        checked = 0
        for path in patterns():
            if not os.path.exists(path):
                print(f"missing: {path}")
                failed += 1
                continue
            problem = check(plane_check, inflated(path, work), work)
            checked += 1
            rel = os.path.relpath(path, GOLLY)
            if problem:
                print(f"FAIL {rel}: {problem}")
                failed += 1
            else:
                print(f"ok   {rel}")
        for rel, step_log, steps, memory, collects in MEMORY_RUNS:
            path = inflated(os.path.join(GOLLY, rel), work)
            problem = check(plane_check, path, work, None, step_log, steps, memory, collects)
            checked += 1
            label = f"{rel} in {memory} MB, {steps} steps of 2^{step_log}"
            if problem:
                print(f"FAIL {label}: {problem}")
                failed += 1
            else:
                print(f"ok   {label}")
        print(f"{checked - failed} passed, {failed} failed")
        return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
