#!/usr/bin/env python3
"""Every shipped pattern, run by tumbra_frames and by Golly's bgolly on the
same torus, gives the same fields.

    patterns_against_golly.py TUMBRA_FRAMES PATTERN_DIR WORK_DIR [EVERY_KTH]

With EVERY_KTH only every k-th file by name is run (a slow sanitizer build).

For each pattern file, tumbra_frames --pattern FILE dumps the field of
generation 1, which must be the file's cells turned to one of their eight
orientations and centred on the torus; bgolly then continues that dump, and
its fields after LATER generations must be tumbra's own dumps of them.
"""
import concurrent.futures
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "lib"))
from rle import placed, read_rle_file as read_rle  # noqa: E402

WIDTH, HEIGHT = 1024, 768
LATER = [100, 300]
EVERY = 100  # tumbra_frames writes the dumps of LATER among those of every EVERY-th frame
SEED = "4242"


def orientations(cells, width, height):
    """The cells centred on the torus in each orientation: bit 2 swaps x and
    y, then bit 0 mirrors x and bit 1 mirrors y."""
    for orientation in range(8):
        swap = orientation & 4
        across, down = (height, width) if swap else (width, height)
        if across > WIDTH or down > HEIGHT:
            continue
        x0, y0 = (WIDTH - across) // 2, (HEIGHT - down) // 2
        turned = set()
        for x, y in cells:
            if swap:
                x, y = y, x
            if orientation & 1:
                x = across - 1 - x
            if orientation & 2:
                y = down - 1 - y
            turned.add((x0 + x, y0 + y))
        yield turned


def frames(program, path, prefix, count, every):
    run = subprocess.run([program, "--mode", "classic", "--cscale", "0", "--size", f"{WIDTH}x{HEIGHT}", "--no-plane",
                          "--pattern", path, "--seed", SEED, "--reset", "86400000", "--frames", str(count),
                          "--every", str(every), "--out", prefix + ".bmp", "--dump", prefix + ".rle"],
                         capture_output=True, text=True)
    if run.returncode != 0:
        return f"tumbra_frames failed: {run.stderr.strip()}"
    if any(not re.search(r"resets 1, pattern ", line) for line in run.stdout.splitlines()):
        return "the pattern field was replaced during the run:\n" + run.stdout
    return None


def check(program, folder, name, work):
    """The problem found with one pattern, or None."""
    path = os.path.join(folder, name)
    prefix = os.path.join(work, name[:-4])
    width, height, _, cells = read_rle(path)
    problem = frames(program, path, prefix + "-first", 1, 1) or frames(program, path, prefix, LATER[-1], EVERY)
    if problem:
        return problem
    first = prefix + "-first-000001.rle"
    _, _, rule, start = read_rle(first)
    if not rule.endswith(f":T{WIDTH},{HEIGHT}"):
        return f"the dump runs {rule}, not on the {WIDTH} x {HEIGHT} torus"
    if start not in list(orientations(cells, width, height)):
        return "generation 1 is not the file's pattern in one of its orientations, centred"
    for generation in LATER:
        out = f"{prefix}-golly-{generation}.rle"
        golly = subprocess.run(["bgolly", "-q", "-q", "-m", str(generation - 1), "-o", out, first],
                               capture_output=True, text=True)
        if golly.returncode != 0 or not os.path.exists(out):
            return f"bgolly failed: {golly.stdout}{golly.stderr}"
        _, _, golly_rule, theirs = read_rle(out)
        if golly_rule != rule:
            return f"bgolly ran {golly_rule}, the dump says {rule}"
        _, _, _, ours = read_rle(f"{prefix}-{generation:06d}.rle")
        theirs = placed(theirs, ours)
        if theirs != ours:
            return (f"generation {generation} differs from bgolly's: {len(ours - theirs)} cells only ours, "
                    f"{len(theirs - ours)} only bgolly's")
    return None


def main():
    program, folder, work = sys.argv[1:4]
    kth = int(sys.argv[4]) if len(sys.argv) > 4 else 1
    os.makedirs(work, exist_ok=True)
    names = sorted(n for n in os.listdir(folder) if n.endswith(".rle"))[::kth]
    with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
        problems = dict(zip(names, pool.map(lambda n: check(program, folder, n, work), names)))
    failures = {n: p for n, p in problems.items() if p}
    for name, problem in failures.items():
        print(f"FAIL: {name}: {problem}")
    print(f"{len(names)} patterns run by tumbra_frames and bgolly, {len(failures)} differ")
    return 1 if failures or not names else 0


if __name__ == "__main__":
    sys.exit(main())
