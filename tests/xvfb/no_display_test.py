#!/usr/bin/env python3
# no_display_test.py -- the real program started where no window can be
# opened (no DISPLAY, no WAYLAND_DISPLAY, SDL left to choose its driver, as
# from SSH or a console): it must say so in one line on standard error, naming
# the missing display, and end with status 1 within a few seconds instead of
# running on unseen.
# Usage: no_display_test.py <run folder>. Exit 0 pass, 1 fail.
import os
import shutil
import subprocess
import sys
import tempfile

LIMIT = 5.0  # seconds


def main():
    if len(sys.argv) != 2:
        print("usage: no_display_test.py <run folder>")
        return 1
    run_folder = os.path.abspath(sys.argv[1])
    program = os.path.join(run_folder, "valmoren")
    if not os.access(program, os.X_OK):
        print("no game in", run_folder)
        return 1
    env = {k: v for k, v in os.environ.items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER")}
    env["SDL_AUDIODRIVER"] = "dummy"
    failures = []
    with tempfile.TemporaryDirectory(prefix="valmoren-nodisplay-") as folder:
        shutil.copytree(run_folder, os.path.join(folder, "game"), symlinks=True)
        try:
            done = subprocess.run(["./valmoren"], cwd=os.path.join(folder, "game"), env=env,
                                  capture_output=True, timeout=LIMIT)
        except subprocess.TimeoutExpired:
            print(f"FAILED: still running after {LIMIT:.0f} s without a display")
            return 1
    errors = done.stderr.decode(errors="replace")
    lines = [line for line in errors.splitlines() if line.strip()]
    if done.returncode != 1:
        failures.append(f"ended with status {done.returncode}, not 1")
    if len(lines) != 1:
        failures.append(f"wrote {len(lines)} lines on standard error, not one")
    if "display" not in errors.lower() or "window" not in errors.lower():
        failures.append("standard error does not say that no window can be opened for want of a display")
    if done.stdout.strip():
        failures.append("wrote on standard output")
    print("standard error:", errors.strip())
    for f in failures:
        print("FAILED:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
