#!/usr/bin/env python3
# summary.py -- the benchmark figures that have targets, one line each, read
# from valmoren_bench's JSON output: each level's typical frame and the busy
# frame as page copies, the mixer's share of a core, and what recording a
# game costs (a frame's share, the bytes a minute of play takes).
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
    ("BM_RecordingAFrame", "recording a level frame's reads", "frame_percent", 1.0, "% of a frame"),
    ("BM_StoredRecordings/iterations:1", "a minute of the recordings made under Xvfb", "bytes_per_minute", 16384,
     "bytes"),
    ("BM_GameEndAfterAnHour/iterations:5", "a minute of an hour of level frames", "bytes_per_minute", 16384, "bytes"),
]
FRAME_NS = 1e9 / 60
UNIT_NS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def main():
    if len(sys.argv) != 2:
        print("usage: summary.py <results.json>")
        return 1
    with open(sys.argv[1]) as f:
        runs = {b["name"]: b for b in json.load(f).get("benchmarks", [])}
    for run in runs.values():
        if "real_time" in run:
            run["frame_percent"] = run["real_time"] * UNIT_NS.get(run.get("time_unit", "ns"), 1.0) / FRAME_NS * 100
    print("Frame costs against their targets:")
    for name, what, counter, target, unit in TARGETS:
        run = runs.get(name)
        if run is None or counter not in run:
            print(f"  {what}: not measured")
            continue
        value = float(run[counter])
        met = value <= target
        print(f"  {what}: {value:.2f} {unit} (target at most {target:g}: {'met' if met else 'MISSED'})")
    packing = runs.get("BM_GameEndAfterAnHour/iterations:5")
    if packing and "real_time" in packing:
        ms = packing["real_time"] * UNIT_NS.get(packing.get("time_unit", "ns"), 1.0) / 1e6
        print(f"  keeping a game's recording at its end after an hour: {ms:.1f} ms, "
              f"{packing.get('bytes_per_frame', 0):.2f} bytes a frame (figure, not judged)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
