#!/usr/bin/env python3
# check_recordings.py -- the recordings stored here, made by the real program
# under Xvfb with the window tests' scripted players (real key and pad
# events), checked by the program with --check and no display at all: each
# ends with status 0 and the score and state digest its file holds. Then
# spoilt copies: cut short, a damaged byte, a later format, no recording at
# all and a missing file end with status 2 and one line on standard error;
# a recording whose game ends otherwise than the file says (its digest
# changed, its check sum put right) ends with status 1.
# VALMOREN_GAME_COMMAND starts the program another way (the Windows program
# under Wine); it is started in the run folder, which it leaves as it was.
# tools/replay-digests.sh --recordings makes them anew.
# Usage: check_recordings.py <run folder> [recording...]. Exit 0 pass, 1 fail.
import glob
import os
import struct
import subprocess
import sys
import tempfile
import time
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
GAME_COMMAND = os.environ.get("VALMOREN_GAME_COMMAND", "./valmoren").split()
TRAILER = struct.Struct("<QQqQQB")  # start, end, score, digest, span, flags; then the CRC-32
LIMIT = 120.0  # seconds: a check of a minute's game takes a few


def trailer(blob):
    return TRAILER.unpack(blob[-4 - TRAILER.size:-4])


def resealed(blob):
    return blob[:-4] + struct.pack("<I", zlib.crc32(blob[:-4]) & 0xFFFFFFFF)


def check(run_folder, path, env):
    """(status, standard output, standard error, seconds) of --check PATH."""
    started = time.monotonic()
    try:
        done = subprocess.run(GAME_COMMAND + ["--check", path], cwd=run_folder, env=env, capture_output=True,
                              timeout=LIMIT)
    except subprocess.TimeoutExpired:
        return None, "", "", LIMIT
    # The Windows program ends its lines with CR LF.
    return (done.returncode, done.stdout.decode(errors="replace").replace("\r\n", "\n"),
            done.stderr.decode(errors="replace"), time.monotonic() - started)


def problems(run_folder, stored=(), env=None):
    """Checks the recordings `stored` names (all of those stored here when
    none) with the program in `run_folder`, then the spoilt copies; what went
    wrong, as a list. `env`: the program's environment (by default this one
    without a display)."""
    stored = list(stored) or sorted(glob.glob(os.path.join(HERE, "*.vrec")))
    if not stored:
        return ["no recordings to check"]
    if env is None:
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env = dict(env, SDL_AUDIODRIVER="nosuchdriver")
    before = sorted(os.listdir(run_folder))
    failures = []
    for path in stored:
        with open(path, "rb") as f:
            blob = f.read()
        _, _, score, digest, _, _ = trailer(blob)
        status, out, err, took = check(run_folder, path, env)
        name = os.path.basename(path)
        print(f"{name}: status {status} in {took:.1f} s: {out.strip()}")
        if status != 0 or out != f"score {score}, state {digest:016x}: as recorded\n":
            failures.append(f"{name}: status {status}, not 0 with score {score} and state {digest:016x}: "
                            f"{out.strip()} {err.strip()}")

    with open(stored[0], "rb") as f:
        blob = f.read()
    with tempfile.TemporaryDirectory(prefix="valmoren-recordings-") as folder:
        spoilt = {
            "cut short": blob[:len(blob) // 2],
            "a damaged byte": blob[:len(blob) // 2] + bytes([blob[len(blob) // 2] ^ 0x40]) + blob[len(blob) // 2 + 1:],
            "a later format": resealed(blob[:8] + struct.pack("<H", 99) + blob[10:]),
            "no recording": b"score 1000000\n",
            "a missing file": None,
        }
        start, end, score, digest, span, flags = trailer(blob)
        other = resealed(blob[:-4 - TRAILER.size] + TRAILER.pack(start, end, score, digest ^ 1, span, flags)
                         + blob[-4:])
        for what, content in list(spoilt.items()) + [("another ending", other)]:
            path = os.path.join(folder, what.replace(" ", "-") + ".vrec")
            if content is not None:
                with open(path, "wb") as f:
                    f.write(content)
            status, out, err, took = check(run_folder, path, env)
            lines = [line for line in err.splitlines() if line.strip()]
            print(f"{what}: status {status} in {took:.2f} s: {(err or out).strip()}")
            if what == "another ending":
                if status != 1 or "played differently" not in out:
                    failures.append(f"{what}: status {status}, not 1 saying the game played differently")
            elif status != 2 or len(lines) != 1 or out.strip():
                failures.append(f"{what}: status {status} with {len(lines)} lines on standard error, "
                                "not 2 with one line")
    if sorted(os.listdir(run_folder)) != before:
        failures.append("a check wrote into the run folder")
    if failures:
        failures.append("(a deliberate change of the game's behaviour makes them anew: "
                        "tools/replay-digests.sh --recordings)")
    return failures


def main():
    if len(sys.argv) < 2:
        print("usage: check_recordings.py <run folder> [recording...]")
        return 1
    failures = problems(os.path.abspath(sys.argv[1]), [os.path.abspath(p) for p in sys.argv[2:]])
    for f in failures:
        print("FAILED:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
