#!/usr/bin/env python3
"""tumbra_frames and Golly's bgolly, run on the same torus, agree cell for cell.

    rules_against_golly.py TUMBRA_FRAMES WORK_DIR

For each rule, tumbra_frames runs a soup with no reset in sight and dumps
the field at every generation; bgolly continues the dump of generation
START for 1 .. STEPS generations, and each of its fields must be the dump of
that later generation. bgolly writes a pattern's bounding box without its
place, so its cells are placed by the corner of the dump's bounding box: on
a soup that spans the torus, any other shift or wrap would still show.
"""
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "lib"))
from rle import placed, read_rle_file  # noqa: E402

RULES = ["B3/S23", "HighLife", "Day & Night", "Seeds", "Morley", "2x2", "Life without Death",
         "B35/S236", "b2/s34", "1357/1357"]
WIDTH, HEIGHT = 128, 96
START, STEPS = 20, 10


def main():
    frames, work = sys.argv[1], sys.argv[2]
    os.makedirs(work, exist_ok=True)
    failures = []
    for number, rule in enumerate(RULES):
        prefix = os.path.join(work, f"rule{number}")
        run = subprocess.run([frames, "--mode", "classic", "--cscale", "0", "--size", f"{WIDTH}x{HEIGHT}",
                              "--rule", rule, "--seed", str(100 + number), "--reset", "86400000",
                              "--frames", str(START + STEPS), "--every", "1", "--out", prefix + ".bmp",
                              "--dump", prefix + ".rle"], capture_output=True, text=True)
        if run.returncode != 0:
            failures.append(f"{rule}: tumbra_frames failed: {run.stderr.strip()}")
            continue
        # One field all along: the first frame made it, none replaced it.
        if any(not line.endswith("resets 1") for line in run.stdout.splitlines()):
            failures.append(f"{rule}: the field was replaced during the run")
            continue
        dump = lambda generation: f"{prefix}-{generation:06d}.rle"
        width, height, dumped_rule, start = read_rle_file(dump(START))
        if width != WIDTH or height != HEIGHT or not dumped_rule.endswith(f":T{WIDTH},{HEIGHT}"):
            failures.append(f"{rule}: dump header x = {width}, y = {height}, rule = {dumped_rule}")
            continue
        if len(start) < 100:
            failures.append(f"{rule}: only {len(start)} cells at generation {START}, too few to tell")
            continue
        for step in range(0, STEPS + 1):
            out = f"{prefix}-golly-{step}.rle"
            golly = subprocess.run(["bgolly", "-q", "-q", "-m", str(step), "-o", out, dump(START)],
                                   capture_output=True, text=True)
            if golly.returncode != 0 or not os.path.exists(out):
                failures.append(f"{rule}: bgolly failed at step {step}: {golly.stdout}{golly.stderr}")
                break
            _, _, golly_rule, golly_cells = read_rle_file(out)
            if golly_rule != dumped_rule:
                failures.append(f"{rule}: bgolly ran {golly_rule}, the dump says {dumped_rule}")
                break
            _, _, _, ours = read_rle_file(dump(START + step))
            theirs = placed(golly_cells, ours)
            if theirs != ours:
                failures.append(f"{rule} ({dumped_rule}): generation {START + step} differs from bgolly's "
                                f"{step} steps on: {len(ours - theirs)} cells only ours, "
                                f"{len(theirs - ours)} only bgolly's")
                break
        else:
            print(f"{rule} ({dumped_rule}): {STEPS} generations as bgolly's")
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
