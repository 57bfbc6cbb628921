#!/usr/bin/env python3
"""Pattern files under rules tumbra does not run are refused by name, before
anything is drawn, by tumbra_frames and by the X11 program alike.

    refused_patterns.py WORK_DIR GOLLY_PATTERNS PROGRAM [PROGRAM ...]

Each PROGRAM (a path, perhaps followed by its options after a comma:
"saver/tumbra,--catalogue,DIR") is given --pattern FILE for each file below
and must end with exit code 2 and the one line "NAME: --pattern FILE: WHY",
NAME being the program's file name, without a display to draw on: Golly's
files of rule tables (WireWorld, Langton's ant and other turmites, a bounded
grid's LifeHistory) and files written here under grids tumbra does not run.
"""
import os
import subprocess
import sys

TABLE = "is a rule table, which tumbra does not run"
# Golly's files, and the rule each is refused for.
GOLLY_FILES = [
    ("WireWorld/circuit.mcl", f"WireWorld {TABLE}"),  # MCell's "Rules table" game
    ("WireWorld/primes.mc", f"WireWorld {TABLE}"),
    ("Other-Rules/Langtons-Ant.rle", f"Langtons-Ant {TABLE}"),
    ("Turmites/LangtonsAnt_LLRR.rle", f"LangtonsAnt_LLRR {TABLE}"),
    ("Life/Bounded-Grids/Klein-bottle.rle", f"LifeHistory {TABLE}"),  # the table is named, not its grid
]
# Rules of grids tumbra does not run, and what it says, naming the rule as it
# reads it.
GRIDS = [
    ("B3/S23:K20,20", "B3/S23:K20,20*: its grid is a Klein bottle, which tumbra does not run"),
    ("B2/S34H:C20,16", "B2/S34H:C20,16: its grid is a cross-surface, which tumbra does not run"),
    ("345/2/4:S20", "B2/S345/C4:S20: its grid is a sphere, which tumbra does not run"),
    ("B36/S23:T30,20-2", "B36/S23:T30,20-2: its grid's edges are joined with a shift, which tumbra does not run"),
]


def main():
    if len(sys.argv) < 4:
        raise SystemExit(__doc__)
    work, golly, programs = sys.argv[1], sys.argv[2], [p.split(",") for p in sys.argv[3:]]
    os.makedirs(work, exist_ok=True)
    cases = [(os.path.join(golly, name), why) for name, why in GOLLY_FILES]
    for number, (rule, why) in enumerate(GRIDS):
        path = os.path.join(work, f"grid{number}.rle")
        with open(path, "w") as f:
            f.write(f"x = 3, y = 1, rule = {rule}\n3o!\n")
        cases.append((path, why))
    # No display to open, and settings of a folder of the test's own.
    env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
    env["XDG_CONFIG_HOME"] = os.path.join(work, "config")
    failures = 0
    for program in programs:
        name = os.path.basename(program[0])
        for path, why in cases:
            run = subprocess.run(program + ["--pattern", path, "--frames", "1", "--out",
                                            os.path.join(work, "none.bmp")] if name == "tumbra_frames" else
                                 program + ["--pattern", path], capture_output=True, text=True, env=env, timeout=60)
            expected = f"{name}: --pattern {path}: {why}"
            if run.returncode == 2 and run.stderr.strip() == expected and not os.path.exists(
                    os.path.join(work, "none.bmp")):
                print(f"refused: {name}: {os.path.relpath(path, golly) if path.startswith(golly) else path}: {why}")
            else:
                failures += 1
                print(f"FAIL: {name} --pattern {path}: exit {run.returncode}, said {run.stderr.strip()!r}; "
                      f"expected exit 2 and {expected!r}")
    total = len(programs) * len(cases)
    print(f"{total} refusals: {total - failures} as expected, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
