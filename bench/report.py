#!/usr/bin/env python3
"""Runs tumbra_bench with repetitions and prints the performance table in
Markdown: the median of each benchmark, the engine's ratio to the plain
algorithm (or to the memory floor) and the target it is held to.

    bench/report.py [path/to/tumbra_bench] [repetitions]
"""
import json
import subprocess
import sys

bench = sys.argv[1] if len(sys.argv) > 1 else "build/native/bench/tumbra_bench"
repetitions = sys.argv[2] if len(sys.argv) > 2 else "5"
# Repetitions of all benchmarks are interleaved at random, so that a burst of
# other work on the machine spreads over them instead of hitting one.
out = subprocess.run([bench, f"--benchmark_repetitions={repetitions}", "--benchmark_report_aggregates_only=true",
                      "--benchmark_enable_random_interleaving=true", "--benchmark_format=json"],
                     check=True, capture_output=True, text=True).stdout
ms = {}
for b in json.loads(out)["benchmarks"]:
    # the median of the repetitions, or the one run there is
    if b.get("aggregate_name", "median") == "median":
        ms[b["run_name"]] = b["real_time"] * {"ms": 1, "us": 1e-3, "ns": 1e-6}[b["time_unit"]]


def speedup(plain, engine, target):
    ratio = ms[plain] / ms[engine]
    return f"{ratio:.1f}x faster", target, "yes" if target is None or ratio >= target else "**no**"


def row(name, compared, goal, met):
    goal_text = "" if goal is None else goal
    print(f"| {name} | {ms[name]:.3f} | {compared} | {goal_text} | {met} |")


print("| benchmark | median ms | engine against plain or floor | target | met |")
print("|---|---:|---:|---:|:---:|")
for size in ("1080p", "2160p"):
    for field, target in (("soup", 12 if size == "1080p" else 8), ("settled", 8)):
        row(f"Step/plain/{size}/{field}", "", None, "")
        r, t, m = speedup(f"Step/plain/{size}/{field}", f"Step/engine/{size}/{field}", target)
        row(f"Step/engine/{size}/{field}", r, f">= {t}x", m)
    row(f"Fill/plain/{size}", "", None, "")
    r, t, m = speedup(f"Fill/plain/{size}", f"Fill/engine/{size}", 5)
    goal, met = f">= {t}x", m
    if size == "2160p":
        goal += ", < 16 ms"
        met = "yes" if m == "yes" and ms[f"Fill/engine/{size}"] < 16 else "**no**"
    row(f"Fill/engine/{size}", r, goal, met)
    for cell in ("1px", "8px"):
        row(f"ClassicFrame/plain/{size}/{cell}", "", None, "")
        r, _, _ = speedup(f"ClassicFrame/plain/{size}/{cell}", f"ClassicFrame/engine/{size}/{cell}", None)
        if cell == "1px":
            floor = ms[f"MemoryBound/{size}/1px"]
            over = ms[f"ClassicFrame/engine/{size}/1px"] / floor
            row(f"ClassicFrame/engine/{size}/{cell}", f"{r}; {over:.2f}x the floor", "<= 3x floor",
                "yes" if over <= 3 else "**no**")
        else:
            row(f"ClassicFrame/engine/{size}/{cell}", r, None, "")
    for scale in ("scale1", "scale2"):
        name = f"AnimatedFrame/engine/{size}/{scale}"
        if name in ms:
            row(name, "", None, "")
    row(f"MemoryBound/{size}/1px", "the floor", None, "")

# Larger than Life beside the B3/S23 frame: Bosco's Rule stepped and painted
# within 4x of it, range 100 within 1.5x of range 5.
if "LargerStep/engine/1080p/soup/bosco" in ms:
    print()
    print("| benchmark | median ms | against | target | met |")
    print("|---|---:|---:|---:|:---:|")
    frame = ms["ClassicFrame/engine/1080p/1px"]
    bosco = ms["LargerStep/engine/1080p/soup/bosco"]
    for name in ("bosco", "r100", "r5-diamond"):
        step, painted = f"LargerStep/engine/1080p/soup/{name}", f"LargerFrame/engine/1080p/1px/{name}"
        if name == "r100":
            ratio = ms[step] / bosco
            print(f"| {step} | {ms[step]:.3f} | {ratio:.2f}x range 5 | <= 1.5x | {'yes' if ratio <= 1.5 else '**no**'} |")
        else:
            print(f"| {step} | {ms[step]:.3f} | | | |")
        ratio = ms[painted] / frame
        goal, met = ("<= 4x", "yes" if ratio <= 4 else "**no**") if name == "bosco" else ("", "")
        print(f"| {painted} | {ms[painted]:.3f} | {ratio:.2f}x the B3/S23 frame | {goal} | {met} |")
