#!/usr/bin/env python3
# window_test.py -- the built game in a real window under Xvfb: the logo fading
# in on white, the menu with its buttons, Down three times and Enter leaving
# with status 0, the window's close request leaving with status 0, and a sound
# device that cannot start reported on the logo screen (and with its reason on
# standard error), ending with status 1.
# Usage: window_test.py <run folder>. Exit 0 pass, 1 fail, 77 skipped.
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import xsession  # noqa: E402
from xsession import log  # noqa: E402

KEY = (255, 0, 255)
LOGO_AT = (180, 140)
BUTTONS = (("start", 250), ("options", 300), ("credits", 350), ("exit", 400))


def is_white(p):
    return min(p) >= 248


def is_dark(p):
    return max(p) < 96


def match_fraction(shot, picture, left, top):
    """How many of the picture's drawn (non-key) pixels show unchanged at
    (left, top) in the shot, as a fraction; 0 when nothing would be drawn."""
    same = drawn = 0
    for y in range(picture.h):
        for x in range(picture.w):
            p = picture.pixel(x, y)
            if p == KEY or not (0 <= left + x < shot.w and 0 <= top + y < shot.h):
                continue
            drawn += 1
            q = shot.pixel(left + x, top + y)
            if all(abs(a - b) <= 2 for a, b in zip(p, q)):
                same += 1
    return same / drawn if drawn else 0.0


def logo_problem(shot, logo):
    """None when the shot is the logo screen with the logo mostly faded in on
    white; otherwise what is wrong."""
    if shot is None or (shot.w, shot.h) != (640, 480):
        return "no 640x480 picture of the window"
    lx, ly = LOGO_AT
    outside = white = 0
    for y in range(0, 480, 3):
        for x in range(0, 640, 3):
            if lx <= x < lx + logo.w and ly <= y < ly + logo.h:
                continue
            outside += 1
            white += is_white(shot.pixel(x, y))
    if white < 0.98 * outside:
        return f"the screen around the logo is not white ({white}/{outside} white)"
    # Each logo pixel moves from white towards the picture as the fade goes on.
    from_white = still = 0
    for y in range(0, logo.h, 2):
        for x in range(0, logo.w, 2):
            p = logo.pixel(x, y)
            if p == KEY:
                continue
            q = shot.pixel(lx + x, ly + y)
            from_white += sum(255 - c for c in p)
            still += sum(abs(a - b) for a, b in zip(p, q))
    if from_white == 0 or still > 0.25 * from_white:
        return f"the logo has not faded in ({still} of {from_white} still to go)"
    return None


def menu_problem(shot, pictures, cursor=250):
    """None when the shot is the menu with its background, its four buttons
    and the ball beside the button at `cursor`; otherwise what is wrong."""
    if shot is None or (shot.w, shot.h) != (640, 480):
        return "no 640x480 picture of the window"
    total = sum(sum(shot.pixel(x, y)) for y in range(0, 480, 4) for x in range(0, 640, 4))
    mean = total / (160 * 120 * 3)
    if mean > 110:
        return f"the menu background is not dark (mean level {mean:.0f})"
    left = pictures["l1"]
    if left is not None:
        strip = xsession.Picture(240, left.h, b"".join(
            left.data[y * left.w * 3:(y * left.w + 240) * 3] for y in range(left.h)))
        if match_fraction(shot, strip, 0, 0) < 0.98:
            return "the left half of the background is not l1.bmp"
    for name, y in BUTTONS:
        if match_fraction(shot, pictures[name], 270, y) < 0.98:
            return f"the {name} button is not at (270, {y})"
    if match_fraction(shot, pictures["ball"], 250, cursor + 5) < 0.98:
        return f"the ball is not beside the button at y {cursor}"
    return None


def menu_pictures(run_folder):
    """The pictures menu_problem looks for, read from the run folder; None
    when one cannot be read."""
    names = ["l1", "ball"] + [name for name, _ in BUTTONS]
    pictures = {n: xsession.read_bmp(os.path.join(run_folder, "img", n + ".bmp")) for n in names}
    return None if any(p is None for p in pictures.values()) else pictures


def poll(game, check, first, last, *args):
    """Shots from `first` to `last` seconds after the window appeared, until
    one passes the check; returns None or the last problem seen."""
    while game.since_window() < first:
        time.sleep(0.05)
    problem = "no shot taken"
    while True:
        problem = check(game.shot(), *args)
        if problem is None or game.since_window() > last or game.proc.poll() is not None:
            return problem
        time.sleep(0.25)


def start(server, run_folder=None, audio="dummy", **game_args):
    """The game (or the program `game_args` name, as xsession.Game takes them)
    with its window up. A start whose window never appeared is reported with
    what the game printed and tried once more, so a passing hiccup of a busy
    machine is not taken for a fault of the game."""
    for attempt in (1, 2):
        game = xsession.Game(server, run_folder, audio, **game_args)
        if game.find_window() is not None:
            return game
        status = game.proc.poll()
        log(f"start {attempt}: no window (game status {status}); it printed:")
        log(game.text_output())
        game.finish()
    return None


def menu_exit_run(server, run_folder, pictures):
    """Logo at about 4 s, menu at about 8 s, then Down x3 and Enter."""
    failures = []
    game = start(server, run_folder)
    if game is None:
        return ["the game's window did not appear"]
    try:
        problem = poll(game, logo_problem, 4.0, 6.0, pictures["logo3"])
        if problem:
            failures.append("logo screen: " + problem)
        problem = poll(game, menu_problem, 8.0, 20.0, pictures)
        if problem:
            failures.append("menu: " + problem)
            return failures
        for _ in range(3):
            game.press("Down")
        problem = poll(game, menu_problem, 0, game.since_window() + 3.0, pictures, 400)
        if problem:
            failures.append("after Down three times: " + problem)
        game.press("Return")
        status = game.wait_end()
        if status != 0:
            failures.append(f"Exit from the menu ended with status {status}, not 0")
    finally:
        if failures:
            log(game.text_output())
        game.finish()
    return failures


def close_window_run(server, run_folder, pictures):
    """The window's close request at the menu ends the game with status 0."""
    failures = []
    game = start(server, run_folder)
    if game is None:
        return ["the game's window did not appear"]
    try:
        problem = poll(game, menu_problem, 8.0, 20.0, pictures)
        if problem:
            failures.append("menu before closing: " + problem)
        game.close_window(failures)
    finally:
        if failures:
            log(game.text_output())
        game.finish()
    return failures


def sound_failure_problem(shot):
    """None when the logo screen shows a line of black text at its top-left
    on white and nothing else; otherwise what is wrong."""
    if shot is None or (shot.w, shot.h) != (640, 480):
        return "no 640x480 picture of the window"
    ink = [(x, y) for y in range(480) for x in range(640) if is_dark(shot.pixel(x, y))]
    other = sum(1 for y in range(0, 480, 2) for x in range(0, 640, 2)
                if not is_white(shot.pixel(x, y)) and not is_dark(shot.pixel(x, y)))
    if len(ink) < 150:
        return f"no message on the screen ({len(ink)} dark pixels)"
    right = max(x for x, _ in ink)
    bottom = max(y for _, y in ink)
    # "Can't initialize FMOD" is 21 characters of the 8x16 font on the first line.
    if bottom >= 16 or right >= 21 * 8 or right < 19 * 8:
        return f"the message is not one line of 21 characters at the top (ink to {right}, {bottom})"
    if other > 50:
        return f"more than the message is drawn ({other} coloured pixels)"
    return None


def sound_failure_run(server, run_folder, after_key=None):
    """`after_key(game, failures)`, when given, answers what the program shows
    after the key before it ends (the Windows program's message box)."""
    failures = []
    game = start(server, run_folder, audio="nosuchdriver")
    if game is None:
        return ["the game's window did not appear"]
    try:
        # The message waits for a key, so a busy machine may take its time.
        problem = poll(game, sound_failure_problem, 1.5, 30.0)
        if problem:
            failures.append("sound failure message: " + problem)
        if game.proc.poll() is not None:
            failures.append("the game ended without waiting for a key")
        game.press("space")
        if after_key:
            after_key(game, failures)
        status = game.wait_end()
        if status != 1:
            failures.append(f"after the sound failure the game ended with status {status}, not 1")
        # A player at a terminal reads the same words, with the reason.
        errors = game.error_output()
        said = [line for line in errors.splitlines() if line.startswith("Can't initialize FMOD: ")]
        if len(said) != 1 or len(said[0]) <= len("Can't initialize FMOD: "):
            failures.append(f"standard error does not give the failure with its reason: {errors!r}")
    finally:
        if failures:
            log(game.text_output())
        game.finish()
    return failures


def main():
    if len(sys.argv) != 2:
        print("usage: window_test.py <run folder>")
        return 1
    run_folder = os.path.abspath(sys.argv[1])
    missing = xsession.missing_tools()
    if missing:
        log("skipped: not installed:", ", ".join(missing))
        return xsession.SKIP
    if not os.access(os.path.join(run_folder, "valmoren"), os.X_OK):
        log("no game in", run_folder)
        return 1
    names = ["logo3", "l1", "ball"] + [name for name, _ in BUTTONS]
    pictures = {n: xsession.read_bmp(os.path.join(run_folder, "img", n + ".bmp")) for n in names}
    unreadable = [n for n, p in pictures.items() if p is None]
    if unreadable:
        log("cannot read the pictures:", ", ".join(unreadable))
        return 1

    server = xsession.XServer()
    try:
        return xsession.run_parts((("menu exit", lambda: menu_exit_run(server, run_folder, pictures)),
                                   ("window close", lambda: close_window_run(server, run_folder, pictures)),
                                   ("sound failure", lambda: sound_failure_run(server, run_folder))))
    finally:
        server.stop()


if __name__ == "__main__":
    sys.exit(main())
