#!/usr/bin/env python3
# sdl_pacing.py -- figures of the real game in a real window under Xvfb: time
# from program start to the first logo frame, the mean and spread of 600
# level-1 frame intervals (from one level frame to the next; the get-ready
# overlays that come up when the unplayed ball is lost are not level frames),
# the share of a processor core the game's main thread uses while level frames
# run, and the game's peak resident memory. A quarter, half and three quarters
# of the way through the level frames F12 takes a screenshot: the frames
# around the three are reported on their own, and the first picture is kept
# beside the run folder (pacing-screenshot.png).
# Usage: sdl_pacing.py <run folder> [frames] [--json file]. Prints the figures
# (and with --json writes them to the file, for the browser benchmark to show
# beside its own); when Xvfb or xdotool is missing it says so and ends with
# status 0 (nothing to measure).
import json
import math
import os
import shutil
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "xvfb"))
import xsession  # noqa: E402

TARGET = 1.0 / 60.0
CPU_WATCH_SECONDS = 12.0  # wall time of level frames over which the main thread's CPU is read
CPU_TARGET = 0.05  # of one core


CALLED, RETURNED = 0, 4  # the two times of a present in a frame-log entry


def level_frame_gaps(entries, count, when=CALLED):
    """The first `count` gaps between a level frame and the level frame shown
    right after it, timed when the present was called or when it returned."""
    gaps = []
    for a, b in zip(entries, entries[1:]):
        if a[3] and b[3]:
            gaps.append(b[when] - a[when])
            if len(gaps) == count:
                break
    return gaps


def interval_figures(gaps):
    """Mean and standard deviation (seconds) of the gaps, and how many are
    longer than one and a half frames."""
    mean = sum(gaps) / len(gaps)
    deviation = math.sqrt(sum((g - mean) ** 2 for g in gaps) / len(gaps))
    late = sum(1 for g in gaps if g > 1.5 * TARGET)
    return mean, deviation, late


def first_logo_frames(entries):
    """Times of the first white logo-screen present and of the first present
    in which the logo shows at the centre of the screen (None when missing)."""
    white = shown = None
    for t, corner, centre, *_ in entries:
        if corner == 0xFFFFFF and white is None:
            white = t
        if corner == 0xFFFFFF and centre != 0xFFFFFF:
            shown = t
            break
    return white, shown


def game_over_asked(entries):
    """True when the screen keeps changing without a level frame for longer
    than an overlay lasts: the game-over question is up."""
    if not entries or entries[-1][3]:
        return False
    last_level = max((e[0] for e in entries if e[3]), default=None)
    return last_level is not None and entries[-1][0] - last_level > 4.0


def gaps_around(entries, moment, before=0.1, after=1.0):
    """The gaps between level frames shown from `before` seconds before the
    moment to `after` seconds after it."""
    return [b[CALLED] - a[CALLED] for a, b in zip(entries, entries[1:])
            if a[3] and b[3] and moment - before <= b[CALLED] and a[CALLED] <= moment + after]


def thread_cpu_seconds(pid, tid):
    """User plus system processor time of one thread of a process, in seconds
    (None when it cannot be read)."""
    try:
        with open(f"/proc/{pid}/task/{tid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
    except OSError:
        return None
    # After the name: state is field 3, utime field 14 and stime field 15.
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


class CpuWatch:
    """Adds up the main thread's processor time over stretches of wall time in
    which only level frames were shown (key waits and overlays sleep, so they
    would flatter the figure)."""

    def __init__(self, game):
        self.game = game
        self.wall = self.cpu = 0.0
        self.last = None

    def look(self):
        now = time.monotonic()
        cpu = thread_cpu_seconds(self.game.proc.pid, self.game.proc.pid)
        entries = self.game.presents()
        if cpu is None:
            return
        if self.last is not None:
            then, cpu_then, count_then = self.last
            new = entries[count_then:]
            if len(new) >= 10 and all(e[3] for e in new):
                self.wall += now - then
                self.cpu += cpu - cpu_then
        self.last = (now, cpu, len(entries))

    def share(self):
        return self.cpu / self.wall if self.wall > 0 else None


def measure(run_folder, frames, screenshot=None, launcher=()):
    server = xsession.XServer(launcher=launcher)
    game = xsession.Game(server, run_folder, launcher=launcher)
    figures = {}
    try:
        if game.find_window() is None:
            raise RuntimeError("the game's window did not appear")
        problems = xsession.reach_menu(game, xsession.menu_pictures(run_folder), logo=False, within=22.0)
        if problems:
            raise RuntimeError(problems[0])
        if not game.start_first_level():
            raise RuntimeError("the story slides did not come up")
        # The closing wipe (at most 5 s) and the 3-second get-ready overlay.
        time.sleep(9.0)
        first = len(game.presents())
        figures["restarts"] = 0
        this_game = first
        deadline = time.monotonic() + 180.0
        watch = CpuWatch(game)
        figures["f12_at"] = []
        while (len(level_frame_gaps(game.presents()[first:], frames)) < frames
               or watch.wall < CPU_WATCH_SECONDS):
            if time.monotonic() > deadline or game.proc.poll() is not None:
                raise RuntimeError("the level did not show enough frames")
            if game_over_asked(game.presents()[this_game:]):
                # Nobody plays the ball, so the energy runs out: Y plays again,
                # through the two opening slides, and the count goes on.
                game.press("y")
                if not game.start_level_again():
                    raise RuntimeError("the story slides did not come up again")
                figures["restarts"] += 1
                this_game = len(game.presents())
                watch.last = None
            watch.look()
            done = len(level_frame_gaps(game.presents()[first:], frames))
            if len(figures["f12_at"]) < 3 and done >= frames * (len(figures["f12_at"]) + 1) // 4:
                game.focus()
                figures["f12_at"].append(time.monotonic())
                game.server.run("xdotool", "key", "F12")
            time.sleep(0.25)
        if screenshot:
            game.save_png(screenshot)
        figures["cpu_share"], figures["cpu_wall"] = watch.share(), watch.wall
        figures["peak_kb"] = game.peak_memory_kb()
        game.ask_to_close()
        figures["status"] = game.wait_end()
        entries = game.presents()
        white, shown = first_logo_frames(entries)
        figures["start_to_logo"] = None if white is None else white - game.started
        figures["start_to_logo_shown"] = None if shown is None else shown - game.started
        figures["mean"], figures["deviation"], figures["late"] = interval_figures(
            level_frame_gaps(entries[first:], frames))
        figures["returned"] = interval_figures(level_frame_gaps(entries[first:], frames, RETURNED))
        figures["f12_gaps"] = [g for moment in figures["f12_at"] for g in gaps_around(entries[first:], moment)]
        shots = sorted(os.listdir(os.path.join(game.copy, "screenshots"))) \
            if os.path.isdir(os.path.join(game.copy, "screenshots")) else []
        figures["f12_file"] = None
        if shots:
            figures["f12_file"] = os.path.join(os.path.dirname(run_folder), "pacing-screenshot.png")
            shutil.copyfile(os.path.join(game.copy, "screenshots", shots[0]), figures["f12_file"])
    finally:
        game.finish()
        server.stop()
    return figures


def main():
    argv = sys.argv[1:]
    json_file = None
    if "--json" in argv and argv.index("--json") + 1 < len(argv):
        at = argv.index("--json")
        json_file = argv[at + 1]
        del argv[at:at + 2]
    if len(argv) not in (1, 2):
        print("usage: sdl_pacing.py <run folder> [frames] [--json file]")
        return 1
    run_folder = os.path.abspath(argv[0])
    frames = int(argv[1]) if len(argv) == 2 else 600
    missing = xsession.missing_tools()
    if missing:
        print("real-window figures skipped: not installed:", ", ".join(missing))
        return 0
    launcher = os.environ.get("VALMOREN_PACING_LAUNCHER", "").split()
    f = measure(run_folder, frames, os.environ.get("VALMOREN_PACING_SHOT"), launcher)
    if json_file:
        with open(json_file, "w") as out:
            json.dump({k: f[k] for k in ("start_to_logo", "start_to_logo_shown", "mean", "deviation", "late",
                                         "cpu_share")}, out)
    ms = 1000.0
    print("Real window under Xvfb (SDL backend):")
    if f["start_to_logo"] is not None:
        print(f"  program start to first logo frame: {f['start_to_logo'] * ms:.0f} ms"
              f" (logo first visible: {f['start_to_logo_shown'] * ms:.0f} ms)")
    else:
        print("  program start to first logo frame: not seen")
    off = (f["mean"] / TARGET - 1.0) * 100.0
    print(f"  level-1 frame interval over {frames} level frames, from one present call to the next"
          f" ({f['restarts']} restarts after game over):")
    print(f"    mean {f['mean'] * ms:.3f} ms ({off:+.2f} % of 1/60 s), deviation"
          f" {f['deviation'] * ms:.3f} ms, {f['late']} frames over 25 ms")
    print(f"    target: mean within 1 % of 16.667 ms, deviation under 0.5 ms:"
          f" {'met' if abs(off) < 1.0 and f['deviation'] < 0.0005 else 'MISSED'}")
    mean, deviation, late = f["returned"]
    print(f"  the same frames timed when the present call returned (the display server's own"
          f" time added): mean {mean * ms:.3f} ms, deviation {deviation * ms:.3f} ms, {late} over 25 ms")
    around = f["f12_gaps"]
    if around:
        print(f"  F12 pressed {len(f['f12_at'])} times: {len(around)} level frames from 0.1 s before to 1 s"
              f" after each, longest {max(around) * ms:.1f} ms, {sum(1 for g in around if g > 0.025)}"
              f" over 25 ms; first picture: {f['f12_file'] or 'NOT WRITTEN'}")
    else:
        print("  F12: no level frames seen around the presses")
    share = f["cpu_share"]
    if share is None:
        print("  main thread's processor share in level 1: not read")
    else:
        print(f"  main thread's processor share in level 1: {share * 100:.1f} % of a core over"
              f" {f['cpu_wall']:.1f} s of level frames (target at most {CPU_TARGET * 100:.0f} %:"
              f" {'met' if share <= CPU_TARGET else 'MISSED'})")
    peak = f["peak_kb"]
    print(f"  peak resident memory: {peak / 1024.0:.1f} MiB" if peak else
          "  peak resident memory: not read")
    if f["status"] != 0:
        print(f"  (the game ended with status {f['status']} on closing its window)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
