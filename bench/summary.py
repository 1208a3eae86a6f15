#!/usr/bin/env python3
# summary.py -- the benchmark figures that have targets, one line each, read
# from valmoren_bench's JSON output: each level's typical frame and the busy
# frame as page copies, and the mixer's share of a core.
# Usage: summary.py <results.json>
import json
import sys

# benchmark name -> (what it is, counter, target, unit)
TARGETS = [
    ("BM_BusyFrame", "busy frame (clear, background, 30 sprites, text, show)", "page_copies", 6.0, "page copies"),
    ("BM_Level1BusyFrame", "level 1 typical frame", "page_copies", 8.0, "page copies"),
    ("BM_Level2BusyFrame/manual_time", "level 2 typical frame", "page_copies", 8.0, "page copies"),
    ("BM_Level3BusyFrame/manual_time", "level 3 typical frame", "page_copies", 8.0, "page copies"),
    ("BM_Level4BusyFrame/manual_time", "level 4 typical frame", "page_copies", 8.0, "page copies"),
    ("BM_Level5BusyFrame", "level 5 typical frame", "page_copies", 8.0, "page copies"),
    ("BM_mix_level_second", "mixing a second of level sound", "core_percent", 2.0, "% of a core"),
]


def main():
    if len(sys.argv) != 2:
        print("usage: summary.py <results.json>")
        return 1
    with open(sys.argv[1]) as f:
        runs = {b["name"]: b for b in json.load(f).get("benchmarks", [])}
    print("Frame costs against their targets:")
    for name, what, counter, target, unit in TARGETS:
        run = runs.get(name)
        if run is None or counter not in run:
            print(f"  {what}: not measured")
            continue
        value = float(run[counter])
        met = value <= target
        print(f"  {what}: {value:.2f} {unit} (target at most {target:g}: {'met' if met else 'MISSED'})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
