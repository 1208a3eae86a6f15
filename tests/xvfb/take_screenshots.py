#!/usr/bin/env python3
# take_screenshots.py -- the README's pictures of the front end, taken from the
# real game in a window under Xvfb: the main menu and the first story slide.
# (The pictures of the levels in play come from the headless replay of each
# level, played by its scripted player: see the README.)
# Usage: take_screenshots.py <run folder> <output folder>.
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import xsession  # noqa: E402


def take(game, pictures, out):
    """From the logo to the menu, saved as menu.png, then Start and the first
    story slide, saved as story.png; the window closed. What went wrong."""
    problems = xsession.reach_menu(game, pictures, logo=False, within=22.0)
    if problems:
        return problems
    game.save_png(os.path.join(out, "menu.png"))
    game.press("Return")  # Start: the first story slide
    if not game.wait_still():
        return ["the first story slide did not come up"]
    game.save_png(os.path.join(out, "story.png"))
    game.close_window(problems)
    xsession.log("screenshots in", out)
    return problems


def run(pictures, run_folder, out):
    os.makedirs(out, exist_ok=True)
    with xsession.XServer() as server:
        problems = xsession.play(server, lambda game: take(game, pictures, out), run_folder)
    for p in problems:
        xsession.log(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(xsession.main("take_screenshots.py <run folder> <output folder>", run))
