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
import window_test  # noqa: E402


def main():
    if len(sys.argv) != 3:
        print("usage: take_screenshots.py <run folder> <output folder>")
        return 1
    run_folder, out = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    missing = xsession.missing_tools()
    if missing:
        print("not installed:", ", ".join(missing))
        return xsession.SKIP
    os.makedirs(out, exist_ok=True)
    names = ["l1", "ball", "start", "options", "credits", "exit"]
    pictures = {n: xsession.read_bmp(os.path.join(run_folder, "img", n + ".bmp")) for n in names}
    server = xsession.XServer()
    game = xsession.Game(server, run_folder)
    try:
        if game.find_window() is None:
            print("the game's window did not appear")
            return 1
        problem = window_test.poll(game, window_test.menu_problem, 8.0, 30.0, pictures)
        if problem:
            print("menu:", problem)
            return 1
        game.save_png(os.path.join(out, "menu.png"))
        game.press("Return")  # Start: the first story slide
        if not game.wait_still():
            print("the first story slide did not come up")
            return 1
        game.save_png(os.path.join(out, "story.png"))
        game.ask_to_close()
        status = game.wait_end()
        print("screenshots in", out, "; the game ended with status", status)
        return 0 if status == 0 else 1
    finally:
        game.finish()
        server.stop()


if __name__ == "__main__":
    sys.exit(main())
