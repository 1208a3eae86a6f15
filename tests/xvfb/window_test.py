#!/usr/bin/env python3
# window_test.py -- the built game in a real window under Xvfb: the logo fading
# in on white, the menu with its buttons, Down three times and Enter leaving
# with status 0, the window's close request in level 1 leaving with status 0
# (and the game's recording played back to the same end), and a sound
# device that cannot start reported on the logo screen (and with its reason on
# standard error), ending with status 1. The Wine checks run the same parts on
# the Windows program.
# Usage: window_test.py <run folder>. Exit 0 pass, 1 fail, 77 skipped.
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import xsession  # noqa: E402
from xsession import is_dark, is_white  # noqa: E402
from xsession import BUTTONS, menu_problem, poll, start  # noqa: E402,F401 -- still named here by the Wine checks


def menu_exit_run(server, run_folder, pictures):
    """Logo at about 4 s, menu at about 8 s, then Down x3 and Enter."""
    def body(game):
        failures = xsession.reach_menu(game, pictures)
        if any(f.startswith("menu") for f in failures):
            return failures
        for _ in range(3):
            game.press("Down")
        failures += [f"after Down three times: {p}" for p in xsession.menu_back(game, pictures, 400, 3.0)]
        game.press("Return")
        status = game.wait_end()
        if status != 0:
            failures.append(f"Exit from the menu ended with status {status}, not 0")
        return failures
    return xsession.play(server, body, run_folder)


def close_window_run(server, run_folder, pictures):
    """Start, the story slides and level 1 with Up and Down on the keyboard;
    the window's close request then ends the game with status 0, and the
    game's recording, cut off by the close, goes where --record names and
    plays back to the same end."""
    def body(game):
        failures = [f"before starting: {p}" for p in xsession.reach_menu(game, pictures, logo=False)]
        if not game.start_first_level() or not xsession.wait_until(
                lambda: sum(1 for e in game.presents() if e[3]) > 120, 20.0, game):
            return failures + ["level 1 did not start"]
        for key in ("Up", "Down", "Down", "Up"):
            game.press(key, hold=0.4)
        game.close_window(failures)
        if os.path.exists(os.path.join(game.cwd, "replays", "last.vrec")):
            failures.append("--record FILE also wrote replays/last.vrec")
        return failures + game.recording_problems("keys-level1-closed.vrec", "closed.vrec")
    return xsession.play(server, body, run_folder, args=("--record", "closed.vrec"))


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
    def body(game):
        failures = []
        # The message waits for a key, so a busy machine may take its time.
        problem = xsession.poll(game, sound_failure_problem, 1.5, 30.0)
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
        return failures
    return xsession.play(server, body, run_folder, audio="nosuchdriver")


def run(pictures, run_folder):
    with xsession.XServer() as server:
        return xsession.run_parts((("menu exit", lambda: menu_exit_run(server, run_folder, pictures)),
                                   ("window close", lambda: close_window_run(server, run_folder, pictures)),
                                   ("sound failure", lambda: sound_failure_run(server, run_folder))))


if __name__ == "__main__":
    sys.exit(xsession.main("window_test.py <run folder>", run))
