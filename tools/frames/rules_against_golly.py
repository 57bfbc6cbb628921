#!/usr/bin/env python3
"""tumbra_frames and Golly's bgolly, run on the same torus, agree cell for
cell and state for state, under rules of every family.

    rules_against_golly.py TUMBRA_FRAMES WORK_DIR

For each rule, tumbra_frames runs a soup with no reset in sight and dumps
the field at every generation; bgolly (with the algorithm of the rule's
family) continues the dump of the rule's first generation compared for
1 .. STEPS generations, and each of its fields must be the dump of that
later generation. bgolly writes a pattern's bounding box without its place,
so its cells are placed by the corner of the dump's bounding box: on a soup
that spans the torus, any other shift or wrap would still show.

tumbra's soups are dense, and under most Larger than Life rules every cell
dies of crowding at once; those rules start from a sparser soup of the
script's, given to tumbra_frames as a pattern of the torus' size.
"""
import collections
import concurrent.futures
import os
import random
import re
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "lib"))
from patterns_against_golly import bgolly, bgolly_options, difference  # noqa: E402
from rle import placed, read_rle_states  # noqa: E402

# The rule, the density of the script's soup (None: tumbra's own soup) and
# the first generation compared.
Soup = collections.namedtuple("Soup", "rule density start")
RULES = [
    Soup("B3/S23", None, 20), Soup("HighLife", None, 20), Soup("Day & Night", None, 20), Soup("Seeds", None, 20),
    Soup("Morley", None, 20), Soup("2x2", None, 20), Soup("Life without Death", None, 20),
    Soup("B35/S236", None, 20), Soup("b2/s34", None, 20), Soup("1357/1357", None, 20),
    # Generations; the 256 states from when the soup's first dying cells
    # reach the last of them.
    Soup("Brian's Brain", None, 20), Soup("Star Wars", None, 20), Soup("23/3/8", None, 20),
    Soup("B2/S345/C256", None, 250), Soup("23/2/4H", None, 20), Soup("2/13/6V", None, 20),
    # Isotropic non-totalistic, MAP of eight, six and four neighbours,
    # hexagonal and von Neumann.
    Soup("B37/S2-i34q", None, 20), Soup("B2-a/S12", None, 20), Soup("B3/S23-a4ei6", None, 20),
    Soup("MAPARyG8Ah4GE56VZRb0BmQ1Ni7IHEUAABAFIdhQMGxGlrgLOAkAIQTCtgNBEIgIUMulYMCNNiYh44xCRoAQANEgA", None, 20),
    Soup("MAPEtgEqQS+EhATRAYQY5YMxQ", None, 20), Soup("MAPEtgEqQS+EhATRAYQY5YMxQ/4", None, 20),
    Soup("MAPBBYtmA", None, 20),
    Soup("B2/S34H", None, 20), Soup("B13/S012V", None, 20),
    # Larger than Life: Bosco's Rule, the von Neumann and circular
    # neighbourhoods, dying states.
    Soup("Bosco's Rule", 0.45, 1), Soup("R3,C0,M1,S6..12,B6..9,NN", None, 20),
    Soup("R4,C0,M1,S18..30,B15..24,NC", 0.4, 5), Soup("R2,C6,M0,S4..9,B5..7,NM", None, 20),
    Soup("R10,C255,M1,S2..3,B3..3,NM", 0.005, 5),
]
WIDTH, HEIGHT = 128, 96
STEPS = 10
ENOUGH = 100  # cells at the first generation compared, to tell anything


def soup_file(path, rule, density, seed):
    """A WIDTH x HEIGHT soup of the density under the rule, as an RLE file."""
    draw = random.Random(seed)
    rows = ["".join("o" if draw.random() < density else "b" for _ in range(WIDTH)) for _ in range(HEIGHT)]
    with open(path, "w") as f:
        f.write(f"x = {WIDTH}, y = {HEIGHT}, rule = {rule}\n" + "$\n".join(rows) + "!\n")


def check(number, soup, frames, work):
    """A line on one rule; problems start with FAIL."""
    prefix = os.path.join(work, f"rule{number}")
    if soup.density is None:
        start_field = ["--rule", soup.rule, "--seed", str(100 + number)]
    else:
        soup_file(prefix + "-soup.rle", soup.rule, soup.density, 100 + number)
        start_field = ["--pattern", prefix + "-soup.rle", "--seed", str(100 + number)]
    run = subprocess.run([frames, "--mode", "classic", "--cscale", "0", "--size", f"{WIDTH}x{HEIGHT}"] + start_field +
                         ["--reset", "86400000", "--frames", str(soup.start + STEPS), "--every", "1",
                          "--dump", prefix + ".rle", "--dump-only"], capture_output=True, text=True)
    if run.returncode != 0:
        return f"FAIL: {soup.rule}: tumbra_frames failed: {run.stderr.strip()}"
    # One field all along: the first frame made it, none replaced it.
    if any(not re.search(r"resets 1(, pattern |$)", line) for line in run.stdout.splitlines()):
        return f"FAIL: {soup.rule}: the field was replaced during the run"
    dump = lambda generation: f"{prefix}-{generation:06d}.rle"
    width, height, dumped_rule, start = read_rle_states(dump(soup.start))
    if width != WIDTH or height != HEIGHT or not dumped_rule.endswith(f":T{WIDTH},{HEIGHT}"):
        return f"FAIL: {soup.rule}: dump header x = {width}, y = {height}, rule = {dumped_rule}"
    if len(start) < ENOUGH:
        return f"FAIL: {soup.rule}: only {len(start)} cells at generation {soup.start}, too few to tell"
    options = bgolly_options(dumped_rule)
    for step in range(0, STEPS + 1):
        out = f"{prefix}-golly-{step}.rle"
        problem = bgolly(options, step, dump(soup.start), out)
        if problem:
            return f"FAIL: {soup.rule}: at step {step}, {problem}"
        _, _, golly_rule, theirs = read_rle_states(out)
        if golly_rule != dumped_rule:
            return f"FAIL: {soup.rule}: bgolly ran {golly_rule}, the dump says {dumped_rule}"
        _, _, _, ours = read_rle_states(dump(soup.start + step))
        theirs = placed(theirs, ours)
        if theirs != ours:
            return (f"FAIL: {soup.rule} ({dumped_rule}): generation {soup.start + step} differs from bgolly's "
                    f"{step} steps on: {difference(ours, theirs)}")
    states = len(set(ours.values()))
    return (f"{soup.rule} ({dumped_rule}): generations {soup.start} to {soup.start + STEPS} as bgolly's, "
            f"{len(ours)} cells in {states} state{'s' if states > 1 else ''} at the last")


def main():
    frames, work = sys.argv[1], sys.argv[2]
    os.makedirs(work, exist_ok=True)
    with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
        lines = list(pool.map(lambda job: check(job[0], job[1], frames, work), enumerate(RULES)))
    for line in lines:
        print(line)
    failures = sum(1 for line in lines if line.startswith("FAIL"))
    print(f"{len(RULES)} rules: {len(RULES) - failures} as bgolly runs them, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
