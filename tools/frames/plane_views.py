#!/usr/bin/env python3
"""What the camera shows of fields on the plane, and the memory a large one
takes, through tumbra_frames.

    plane_views.py TUMBRA_FRAMES PATTERN_DIR WORK_DIR

- A Gosper glider gun after 3000 frames is drawn whole in a fitted view: its
  cells fill a good part of the picture and reach none of its edges, and
  none of its stream has wrapped round to the gun's side.
- A lightweight spaceship after 2000 and after 3000 frames is drawn in the
  middle of the picture.
- A breeder stepped 2^12 generations a frame for 120 frames, under a memory
  limit of 64 MB, ends normally, far past where it started, and the process
  stays within that limit and what its frames take besides.
"""
import os
import resource
import struct
import subprocess
import sys

WIDTH, HEIGHT = 1024, 768


def lit_pixels(path):
    """The positions of the pixels that are not black (the dead colour) in a
    24-bit BMP as tumbra_frames writes it."""
    with open(path, "rb") as f:
        data = f.read()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    row_bytes = (width * 3 + 3) & ~3
    lit = []
    for row in range(abs(height)):
        y = height - 1 - row if height > 0 else row
        line = data[offset + row * row_bytes: offset + row * row_bytes + width * 3]
        for x in range(width):
            if line[3 * x:3 * x + 3] != b"\0\0\0":
                lit.append((x, y))
    return lit


def frames(program, pattern, count, out, *more):
    run = subprocess.run([program, "--mode", "classic", "--size", f"{WIDTH}x{HEIGHT}", "--plane", "--pattern", pattern,
                          "--reset", "86400000", "--frames", str(count), "--out", out] + list(more),
                         capture_output=True, text=True)
    if run.returncode != 0:
        raise RuntimeError(f"tumbra_frames failed: {run.stderr.strip()}")
    return run.stdout


def box(lit):
    xs = [x for x, _ in lit]
    ys = [y for _, y in lit]
    return min(xs), min(ys), max(xs), max(ys)


def check_gun(program, folder, work):
    out = os.path.join(work, "gun.bmp")
    frames(program, os.path.join(folder, "gosper-glider-gun.rle"), 3000, out)
    lit = lit_pixels(out)
    if not lit:
        return "the gun's picture is empty"
    left, top, right, bottom = box(lit)
    margin = 4
    if left < margin or top < margin or right >= WIDTH - margin or bottom >= HEIGHT - margin:
        return f"the gun reaches the picture's edge: {left},{top} to {right},{bottom}"
    if max(right - left, bottom - top) < HEIGHT // 3:
        return f"the gun fills too little of the view: {left},{top} to {right},{bottom}"
    # The stream runs from the gun one way only: a wrapped stream would come
    # back across the gun's side of the picture.
    span = right - left + 1
    thirds = [0, 0, 0]
    for x, _ in lit:
        thirds[min(2, 3 * (x - left) // span)] += 1
    if min(thirds) == 0:
        return f"the gun's picture has a gap: {thirds}"
    return None


def check_ship(program, folder, work):
    for count in (2000, 3000):
        out = os.path.join(work, f"lwss-{count}.bmp")
        frames(program, os.path.join(folder, "lwss.rle"), count, out)
        lit = lit_pixels(out)
        if not lit:
            return f"the ship's picture after {count} frames is empty"
        left, top, right, bottom = box(lit)
        cx, cy = (left + right) / 2, (top + bottom) / 2
        if abs(cx - WIDTH / 2) > WIDTH * 0.05 or abs(cy - HEIGHT / 2) > HEIGHT * 0.05:
            return f"after {count} frames the ship is at {cx:.0f},{cy:.0f}, not in the middle"
    return None


def check_breeder(program, folder, work):
    before = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    out = frames(program, os.path.join(folder, "breeder-1.rle"), 120, os.path.join(work, "breeder.bmp"),
                 "--step", "12", "--memory", "64")
    used = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss  # kilobytes
    generation = int(out.split("generation ")[1].split(",")[0])
    if generation < 100 * 4096:
        return f"only generation {generation} after 120 frames of 2^12"
    # The nodes' limit, and about 60 MB for the frames' surface, grid and the rest.
    if max(used, before) > (64 + 60) * 1024:
        return f"the breeder's run took {used // 1024} MB"
    return None


def main():
    program, folder, work = sys.argv[1:4]
    os.makedirs(work, exist_ok=True)
    failures = []
    for name, check in (("gun", check_gun), ("ship", check_ship), ("breeder", check_breeder)):
        problem = check(program, folder, work)
        print(f"{name}: {problem or 'as it should be'}")
        if problem:
            failures.append(name)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
