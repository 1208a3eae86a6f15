#!/usr/bin/env python3
# pad_test.py -- the real game in a window under Xvfb, played with a pad
# alone: SDL virtual joysticks that the game's pad script hook plugs in
# (VALMOREN_PAD_SCRIPT), handled by the same code as a pad in a USB port.
#  1. From the logo through the menu and the options screen (the controls
#     switched to the keyboard scheme and saved) to level 1; the D-pad keeps
#     the ball in play for a while, watched on the screen; the pad is pulled
#     out with a direction held (the plane stops) and plugged in again (it
#     answers at once); B opens the exit question, X answers no, B and Y leave
#     to the menu, and Exit ends the game with status 0. The game's recording
#     plays back to the same end (--check), and in the window (--play).
#  2. Level 5's first seconds (through valmoren_level_start, the real window
#     and game started at a level's set-up): the right stick aims, the
#     left trigger (the left mouse button) fires, and the score rises.
# Usage: pad_test.py <run folder> <valmoren_level_start>. Exit 0 pass, 1 fail,
# 77 skipped.
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import xsession  # noqa: E402
from xsession import log, wait_for  # noqa: E402

PLANE_COLOUR = bytes((53, 112, 216))
PLANE_H = 75
BALL_SIZE = 16


def find_colour(pic, colour, x0, x1):
    """(x, y) of every pixel of exactly `colour` with x0 <= x < x1."""
    found, data, at = [], pic.data, 0
    while True:
        at = data.find(colour, at)
        if at < 0:
            return found
        if at % 3 == 0:
            p = at // 3
            x, y = p % pic.w, p // pic.w
            if x0 <= x < x1:
                found.append((x, y))
        at += 1


class Sprite:
    """A picture of the game (a BMP of its data) to look for on the screen,
    drawn with its magenta left out, as the game draws it."""

    def __init__(self, picture):
        self.w, self.h = picture.w, picture.h
        self.pixels = [(x, y, bytes(picture.pixel(x, y))) for y in range(picture.h)
                       for x in range(picture.w) if picture.pixel(x, y) != (255, 0, 255)]
        counts = {}
        for _, _, c in self.pixels:
            counts[c] = counts.get(c, 0) + 1
        # The first pixel, in reading order, of the colour it has least of.
        rare = min(counts, key=counts.get)
        self.anchor = next(p for p in self.pixels if p[2] == rare)

    def find(self, pic, x0=0, x1=None):
        """The top-left corner of the picture where it shows (nine tenths of
        its pixels at least) with its left edge in [x0, x1); None when not."""
        ax, ay, colour = self.anchor
        x1 = pic.w if x1 is None else x1
        for x, y in find_colour(pic, colour, x0 + ax, x1 + ax):
            left, top = x - ax, y - ay
            if left < 0 or top < 0 or left + self.w > pic.w or top + self.h > pic.h:
                continue
            same = 0
            for px, py, c in self.pixels:
                i = ((top + py) * pic.w + left + px) * 3
                same += pic.data[i:i + 3] == c
            if same >= 0.9 * len(self.pixels):
                return left, top
        return None


def plane_middles(pic):
    """The middle heights of the left and the right plane (None where unseen)."""
    middles = []
    for x0, x1 in ((0, 64), (576, 640)):
        points = find_colour(pic, PLANE_COLOUR, x0, x1)
        middles.append((min(y for _, y in points) + max(y for _, y in points)) / 2 if points else None)
    return middles


def arrival_y(x, y, vx, vy):
    """Where the ball's middle will be when it reaches the plane it flies
    toward, off the top and bottom walls (speeds in pixels a second)."""
    front = 58 + BALL_SIZE / 2 if vx < 0 else 590 - BALL_SIZE / 2
    t = (front - x) / vx
    y += vy * t
    low, high = 10 + BALL_SIZE / 2, 460 + BALL_SIZE / 2
    span = high - low
    y = (y - low) % (2 * span)
    return low + (y if y <= span else 2 * span - y)


class DPad:
    """Holds at most one of Up and Down on pad 0, telling the game only changes."""

    def __init__(self, game):
        self.game, self.held = game, None

    def hold(self, button):
        if button == self.held:
            return
        lines = []
        if self.held:
            lines.append(f"button 0 {self.held} 0")
        if button:
            lines.append(f"button 0 {button} 1")
        self.game.pad(*lines)
        self.held = button


def level_frames_since(game, count):
    return sum(1 for e in game.presents()[count:] if e[3])


def keep_ball_in_play(game, seconds, ball_sprite):
    """Plays level 1 with the D-pad for `seconds`: the plane the ball flies
    toward goes to where the ball will arrive. Returns (returns, misses): how
    often the ball came back off a plane, and how often it was lost (the
    get-ready picture: presents that are not level frames)."""
    pad = DPad(game)
    returns = misses = 0
    last = None  # (x, y, time) of the ball last seen
    heading = 0  # -1 toward the left plane, 1 toward the right one, 0 not known
    last_return = 0.0
    in_overlay = False
    end = time.monotonic() + seconds
    while time.monotonic() < end and game.proc.poll() is None:
        entries = game.presents()
        overlay_now = bool(entries) and not entries[-1][3] and time.monotonic() - entries[-1][0] < 0.5
        if overlay_now and not in_overlay:
            misses += 1
        in_overlay = overlay_now
        pic = game.grab()
        now = time.monotonic()
        if pic is None or (pic.w, pic.h) != (640, 480):
            continue
        corner = ball_sprite.find(pic, 40, 600)
        if corner is None or in_overlay:
            pad.hold(None)
            last, heading = None, 0
            continue
        x, y = corner[0] + BALL_SIZE / 2, corner[1] + BALL_SIZE / 2
        if last is not None and now - last[2] > 0.01 and x != last[0]:
            vx = (x - last[0]) / (now - last[2])
            vy = (y - last[1]) / (now - last[2])
            new_heading = -1 if vx < 0 else 1
            # Turned back near a plane, away from it: the plane returned it.
            near = x < 200 if new_heading > 0 else x > 440
            if heading == -new_heading and near and now - last_return > 0.5:
                returns += 1
                last_return = now
            heading = new_heading
            left, right = plane_middles(pic)
            plane = left if vx < 0 else right
            target = arrival_y(x, y, vx, vy)
            button = None
            if plane is not None and abs(plane - target) > 10:
                up = plane > target  # the plane must go up the screen
                # Up takes the left plane up and the right one down.
                button = "dpup" if up == (vx < 0) else "dpdown"
            pad.hold(button)
        last = (x, y, now)
        time.sleep(0.015)
    pad.hold(None)
    return returns, misses


def plane_stops_when_the_pad_goes(game):
    """Down held on the pad, the pad pulled out: the left plane stops.
    Plugged in again: Down moves it at once. None, or what went wrong."""
    def left_plane():
        pic = game.grab()
        return plane_middles(pic)[0] if pic else None

    # Up first, so that there is room below for the plane to move.
    game.pad("button 0 dpup 1")
    time.sleep(1.0)
    game.pad("button 0 dpup 0", "button 0 dpdown 1")
    time.sleep(0.3)
    moving = left_plane()
    game.pad("detach 0")
    time.sleep(0.3)
    stopped = left_plane()
    time.sleep(0.5)
    still = left_plane()
    if None in (moving, stopped, still):
        return "the left plane cannot be seen"
    if not stopped > moving:
        return f"Down on the pad did not move the left plane down ({moving:.0f} to {stopped:.0f})"
    if abs(still - stopped) > 2:
        return f"the plane kept moving after the pad was pulled out ({stopped:.0f} to {still:.0f})"
    game.pad("attach 0")
    time.sleep(0.3)
    game.pad("button 0 dpdown 1")
    time.sleep(0.4)
    game.pad("button 0 dpdown 0")
    moved = left_plane()
    if moved is None or moved <= still + 20:
        return f"the pad plugged in again does not move the plane ({still:.0f} to {moved})"
    return None


def question_up(game, since):
    """The exit question is up: frames go on being shown, none of them a level frame."""
    entries = game.presents()[since:]
    return len(entries) >= 10 and not any(e[3] for e in entries[-10:])


def menu_run(server, run_folder, pictures):
    def body(game):
        failures = []
        if not game.focus_when_shown():
            return ["the game's window did not take the focus"]
        game.pad("attach 0")
        problems = xsession.reach_menu(game, pictures, logo=False)
        if problems:
            return problems
        # Options; Controls from Mouse to Keyboard; Save and Exit; Start.
        for button in ("dpdown", "a", "dpdown", "a", "dpdown", "dpdown", "a"):
            game.pad_press(button)
            game.wait_still(still=0.4)
        failures += [f"back from the options screen: {p}" for p in xsession.menu_back(game, pictures)]
        saved = xsession.read_bytes(os.path.join(game.copy, "options.dat"))
        if saved != b"0\r\n0\r\n0\r\n":
            failures.append(f"the options screen did not save the keyboard controls: {saved!r}")
        game.pad_press("a")  # Start
        for _ in range(2):  # the two opening slides
            if not game.wait_still():
                return failures + ["a story slide did not come up"]
            game.pad_press("a")
        if not wait_for(lambda: level_frames_since(game, 0) > 120, 20.0):
            return failures + ["level 1 did not start"]

        returns, misses = keep_ball_in_play(game, 20.0, Sprite(pictures["ball"]))
        log(f"level 1 with the D-pad: {returns} returns off the planes, {misses} balls lost in 20 s")
        if returns < 4 or misses > 3:  # left alone: about one return and five lost
            failures.append(f"the D-pad did not keep the ball in play ({returns} returns, {misses} lost)")

        problem = plane_stops_when_the_pad_goes(game)
        if problem:
            failures.append("pad pulled out and plugged in: " + problem)

        count = len(game.presents())
        game.pad_press("b")  # Esc: "Exit?!"
        if not wait_for(lambda: question_up(game, count), 5.0):
            return failures + ["B did not open the exit question"]
        game.pad_press("x")  # no: play on
        count = len(game.presents())
        if not wait_for(lambda: level_frames_since(game, count) > 30, 5.0):
            failures.append("X did not answer the question with no (the level did not go on)")
        count = len(game.presents())
        game.pad_press("b")
        if not wait_for(lambda: question_up(game, count), 5.0):
            return failures + ["B did not open the exit question again"]
        game.pad_press("y")  # yes: leave to the menu
        problems = xsession.menu_back(game, pictures, within=10.0)
        if problems:
            return failures + [f"Y at the exit question did not lead to the menu: {p}" for p in problems]
        for button in ("dpdown", "dpdown", "dpdown", "a"):  # Exit
            game.pad_press(button)
        status = game.wait_end()
        if status != 0:
            failures.append(f"Exit chosen with the pad ended the game with status {status}, not 0")
        return failures + game.recording_problems("pad-level1.vrec")
    return xsession.play(server, body, run_folder, options=("0", "1", "0"))  # music off, mouse controls


def aim(state_line):
    """Stick deflections toward the lowest target that can still be stopped,
    from a line of the level program's state file; (0, 0) with none."""
    fields = [int(v) for v in state_line.split()]
    x, y = fields[2], fields[3]
    targets = [fields[i:i + 4] for i in range(4, len(fields) - 3, 4)]
    boxes = {1: (20, 60), 2: (60, 61), 3: (32, 27)}
    best = None
    for kind, tx, ty, dy in targets:
        if ty + 20 * dy > 440:
            continue
        if best is None or ty > best[2]:
            best = (kind, tx, ty, dy)
    if best is None:
        return 0.0, 0.0
    kind, tx, ty, dy = best
    w, h = boxes.get(kind, (20, 20))
    # Where its middle will be about a third of a second from now, under the crosshair's spot.
    dx = tx + w / 2 - (x + 16)
    dy_ = ty + 20 * dy + h / 2 - (y + 16)
    tilt = lambda d: max(-1.0, min(1.0, d / 40.0))  # noqa: E731
    return tilt(dx), tilt(dy_)


def last_state(path):
    try:
        with open(path) as f:
            lines = f.read().splitlines()
    except OSError:
        return None
    return lines[-2] if len(lines) >= 2 else None  # the last line may be half-written


def level5_run(server, run_folder, level_program):
    def body(game):
        state = os.path.join(game.copy, "state.txt")
        failures = []
        if not game.focus_when_shown():
            return ["level 5: the window did not take the focus"]
        game.pad("attach 0")
        # The start-up's own second, then the level's story slide.
        if not wait_for(lambda: len(game.presents()) >= 2, 15.0) or not game.wait_still():
            return ["level 5: the story slide did not come up"]
        game.pad_press("a")
        if not wait_for(lambda: level_frames_since(game, 0) > 60, 15.0):
            return ["level 5 did not start"]
        time.sleep(3.5)  # the get-ready picture
        first = last_state(state)
        if first is None:
            return ["level 5: no state written"]
        start_score = int(first.split()[0])
        xs = []
        end = time.monotonic() + 12.0
        pulled_since = time.monotonic()
        game.pad("axis 0 lefttrigger 32767")
        while time.monotonic() < end and game.proc.poll() is None:
            line = last_state(state)
            if line:
                sx, sy = aim(line)
                game.pad(f"axis 0 rightx {int(sx * 32767)}", f"axis 0 righty {int(sy * 32767)}")
                xs.append(int(line.split()[2]))
            # The shot charges while the trigger is held and hits only in its
            # first 50 frames: let go now and then.
            if time.monotonic() - pulled_since > 0.7:
                game.pad("axis 0 lefttrigger 0")
                time.sleep(0.08)
                game.pad("axis 0 lefttrigger 32767")
                pulled_since = time.monotonic()
            time.sleep(0.03)
        game.pad("axis 0 rightx 0", "axis 0 righty 0", "axis 0 lefttrigger 0")
        final = last_state(state)
        score = int(final.split()[0]) if final else start_score
        log(f"level 5 with the right stick and trigger: score {start_score} to {score},"
            f" crosshair x from {min(xs, default=0)} to {max(xs, default=0)}")
        if score < start_score + 100:
            failures.append(f"level 5: the score rose only from {start_score} to {score}")
        if not xs or max(xs) - min(xs) < 100:
            failures.append("level 5: the right stick hardly moved the crosshair")
        game.close_window(failures, "level 5's program")
        return failures
    # Energy kept up: the run judges the stick and the trigger, and a run whose
    # aim falls behind on a busy machine must not end in the game-over question.
    # The state file is written in the copied run folder the program starts in.
    return xsession.play(server, body, run_folder, program=level_program, args=("5", "state.txt", "keep-energy"),
                         what="level 5")


def run(pictures, run_folder, level_program):
    with xsession.XServer() as server:
        return xsession.run_parts((
            ("menu, level 1 and the exit question", lambda: menu_run(server, run_folder, pictures)),
            ("level 5", lambda: level5_run(server, run_folder, level_program))))


if __name__ == "__main__":
    sys.exit(xsession.main("pad_test.py <run folder> <valmoren_level_start>", run))
