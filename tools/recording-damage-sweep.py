#!/usr/bin/env python3
# recording-damage-sweep.py -- every spoilt copy of a recording checked by the
# program: each length it can be cut to, and each byte flipped (all eight
# bits). Every one must end with status 2 and one line on standard error
# within a second of CPU time (the clock's seconds are counted too: a busy
# machine stretches them), the program's memory staying near what a good
# check takes (GNU time's figures). With --resealed, each byte flipped with the check sum put right
# again, so the damage reaches the reader's inner checks and the replay
# itself: each must end with status 0, 1 or 2 within a second or so of CPU
# time, never a crash or a hang (0 where the byte changed nothing the game
# reads: the version's or platform's name, the clock's span, a code of the
# packed stream that no symbol uses).
# Run by hand (it takes minutes); it prints what it found.
# Usage: tools/recording-damage-sweep.py <run folder> [--resealed] [--jobs N] [--every N] recording...
import argparse
import concurrent.futures
import os
import subprocess
import sys
import tempfile
import time
import zlib

SECOND = 1.0


def run(run_folder, path):
    """(status, stdout, stderr, seconds, CPU seconds, peak kB) of --check PATH
    (the peak and CPU time as GNU time measures the program alone)."""
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env["SDL_AUDIODRIVER"] = "nosuchdriver"
    with tempfile.NamedTemporaryFile() as measured:
        started = time.monotonic()
        done = subprocess.run(["/usr/bin/time", "-o", measured.name, "-f", "%U %S %M", "./valmoren", "--check", path],
                              cwd=run_folder, env=env, capture_output=True)
        took = time.monotonic() - started
        user, system, kb = open(measured.name).read().split()[-3:]
    return (done.returncode, done.stdout.decode(errors="replace"), done.stderr.decode(errors="replace"), took,
            float(user) + float(system), int(kb))


def sweep(run_folder, recording, resealed, jobs, every):
    with open(recording, "rb") as f:
        good = f.read()
    _, _, _, base_took, base_cpu, base_kb = run(run_folder, recording)
    copies = []
    if not resealed:
        copies += [(f"cut to {n}", good[:n]) for n in range(0, len(good), every)]
    for i in range(0, len(good), every):
        spoilt = good[:i] + bytes([good[i] ^ 0xFF]) + good[i + 1:]
        if resealed and i < len(good) - 4:
            spoilt = spoilt[:-4] + (zlib.crc32(spoilt[:-4]) & 0xFFFFFFFF).to_bytes(4, "little")
        copies.append((f"byte {i} flipped", spoilt))
    counts, slowest, busiest, largest, late, bad = {}, 0.0, 0.0, 0, 0, []
    with tempfile.TemporaryDirectory(prefix="valmoren-sweep-") as folder:
        def one(item):
            n, (what, blob) = item
            path = os.path.join(folder, f"{n}.vrec")
            with open(path, "wb") as f:
                f.write(blob)
            result = run(run_folder, path)
            os.unlink(path)
            return what, result

        with concurrent.futures.ThreadPoolExecutor(jobs) as pool:
            for what, (status, out, err, took, cpu, kb) in pool.map(one, enumerate(copies)):
                counts[status] = counts.get(status, 0) + 1
                slowest, busiest, largest = max(slowest, took), max(busiest, cpu), max(largest, kb)
                lines = [line for line in err.splitlines() if line.strip()]
                if resealed:
                    fault = status not in (0, 1, 2) or (status == 2 and len(lines) != 1) or cpu > 2 * SECOND
                else:
                    fault = status != 2 or len(lines) != 1 or out.strip() or cpu > SECOND
                    late += took > SECOND
                if fault:
                    bad.append(f"{what}: status {status} in {took:.2f} s, {kb} kB: {(err + out).strip()[:200]}")
    name = os.path.basename(recording)
    print(f"{name}: {len(copies)} copies{' resealed' if resealed else ''}; statuses "
          + ", ".join(f"{s}: {c}" for s, c in sorted(counts.items(), key=lambda kv: str(kv[0])))
          + f"; slowest {slowest:.2f} s ({late} over {SECOND:.0f} s on the clock; {busiest:.2f} s of CPU at most)"
          + f", largest {largest} kB"
          + f" (the good file: {base_took:.2f} s, {base_cpu:.2f} s of CPU, {base_kb} kB)")
    for b in bad:
        print("  FAULT", b)
    return not bad


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("run_folder")
    ap.add_argument("recordings", nargs="+")
    ap.add_argument("--resealed", action="store_true")
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--every", type=int, default=1, help="only every Nth length and byte")
    a = ap.parse_args()
    folder = os.path.abspath(a.run_folder)
    ok = all([sweep(folder, os.path.abspath(r), a.resealed, a.jobs, max(a.every, 1)) for r in a.recordings])
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
