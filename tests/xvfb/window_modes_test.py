#!/usr/bin/env python3
# window_modes_test.py -- full screen at run time and screenshots, in the real
# game's window under Xvfb:
#  1. With a window manager (openbox) on a 1280x960 screen: at the menu, with
#     the ball on Options, Alt+Enter makes the window the screen's size and the
#     picture exactly the page at twice its size (crisp, 4:3); the menu is the
#     same (Enter did not choose Options); Alt+Enter again and F11 twice go
#     back and forth the same way. F12 twice in a second writes two PNG files
#     that decode to exactly the page the window shows; options.dat
#     is left as it was.
#  2. Without a window manager, started in full screen (options.dat's third
#     line "1"): the window covers the 1024x768 screen and shows the whole
#     picture, its corners' pixels the page's corners.
# Usage: window_modes_test.py <run folder>. Exit 0 pass, 1 fail, 77 skipped.
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import xsession  # noqa: E402

OPTIONS_Y = 300  # the ball beside Options


def switched(game, keys, page, scale, what, failures):
    """Presses `keys` and expects the window to become `scale` times the
    page's size, showing the page crisply at that scale. False, with the
    problem added to `failures`, when the window did not take that size."""
    size = (640 * scale, 480 * scale)
    game.focus()
    game.server.run("xdotool", "key", keys)
    place = game.wait_for_size(size)
    if place is None or place[2:] != size:
        failures.append(f"{what}: the window did not become {size[0]}x{size[1]} ({place})")
        return False
    problem = shows_page(game, page, scale)
    if problem:
        failures.append(f"{what}: " + problem)
    return True


def shows_page(game, page, factor):
    """None when the window shows exactly the page at `factor` times its size
    (after a moment for the window to settle); otherwise what it shows."""
    want = xsession.scaled(page, factor) if factor > 1 else page
    shot = None
    for _ in range(20):
        shot = game.grab()
        if shot is not None and (shot.w, shot.h) == (want.w, want.h) and shot.data == want.data:
            return None
        time.sleep(0.1)
    if shot is None:
        return "the window cannot be read"
    if (shot.w, shot.h) != (want.w, want.h):
        return f"the window is {shot.w}x{shot.h}, not {want.w}x{want.h}"
    wrong = sum(1 for i in range(0, len(want.data), 3) if shot.data[i:i + 3] != want.data[i:i + 3])
    return f"{wrong} of {want.w * want.h} pixels differ from the page at {factor}x"


def start_window_manager(server):
    wm = subprocess.Popen(["openbox", "--sm-disable"], env=server.env,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if xsession.wait_for(lambda: b"window id" in server.run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK").stdout,
                         10, 0.1):
        return wm
    wm.kill()
    return None


def switching_run(run_folder, pictures):
    def body(game):
        failures = []
        if not game.focus_when_shown():
            return ["the game's window did not take the focus"]
        problems = xsession.reach_menu(game, pictures, logo=False)
        if problems:
            return problems
        game.press("Down")
        page = game.take_screenshot()
        if page is None:
            return ["F12 wrote no picture that decodes"]
        problem = xsession.menu_problem(page, pictures, OPTIONS_Y)
        if problem:
            return ["the screenshot is not the menu with the ball on Options: " + problem]
        problem = shows_page(game, page, 1)
        if problem:
            failures.append("the screenshot is not what the window shows: " + problem)

        # F12 twice within a second: two files, both the page.
        before = len(game.screenshots())
        game.press("F12", hold=0.05, gap=0.1)
        game.press("F12", hold=0.05, gap=0.5)
        files = game.screenshots()
        if len(files) != before + 2:
            failures.append(f"two presses of F12 in a second wrote {len(files) - before} files, not 2")
        for f in files[before:]:
            picture = xsession.wait_for(lambda: xsession.decode_png(f), 5)
            if picture is None or picture.data != page.data:
                failures.append(f"{os.path.basename(f)} is not the page shown")

        for keys, name in (("alt+Return", "Alt+Enter"), ("F11", "F11")):
            if not switched(game, keys, page, 2, f"{name}, full screen", failures):
                continue
            shot = game.take_screenshot()
            if shot is None or shot.data != page.data:
                failures.append(f"{name}, full screen: the menu changed (Enter chose an entry?)")
            switched(game, keys, page, 1, f"{name} again, in a window", failures)

        if xsession.read_bytes(os.path.join(game.copy, "options.dat")) != b"0\r\n1\r\n0\r\n":
            failures.append("options.dat was changed")
        game.close_window(failures)
        return failures
    with xsession.XServer(1280, 960) as server:
        wm = start_window_manager(server)
        if wm is None:
            return ["openbox did not start"]
        try:
            return xsession.play(server, body, run_folder, options=("0", "1", "0"))
        finally:
            wm.kill()
            wm.wait()


def bare_full_screen_run(run_folder, pictures):
    def body(game):
        failures = []
        if not game.focus_when_shown():
            return ["the game's window did not take the focus"]
        # The menu, judged by the game's own screenshots (the window itself is
        # what is under test).
        deadline = time.monotonic() + 25
        page = None
        while time.monotonic() < deadline:
            time.sleep(1.0)
            if game.since_window() > 8.0:
                page = game.take_screenshot()
                if page is not None and xsession.menu_problem(page, pictures) is None:
                    break
        else:
            return ["the menu did not come up (judged by its screenshot)"]
        game.find_window()  # the renderer may have made the window anew after it first showed
        place = game.geometry()
        if place != (0, 0, 1024, 768):
            failures.append(f"the window does not cover the screen: {place}")
        shot = game.grab()
        if shot is None or (shot.w, shot.h) != (1024, 768):
            return failures + ["the full-screen window cannot be read at the screen's size"]
        corners = ((0, 0, 0, 0), (639, 0, 1023, 0), (0, 479, 0, 767), (639, 479, 1023, 767))
        for px, py, sx, sy in corners:
            want, got = page.pixel(px, py), shot.pixel(sx, sy)
            if any(abs(a - b) > 8 for a, b in zip(want, got)):
                failures.append(f"the window's corner ({sx}, {sy}) is {got}, the page's ({px}, {py}) is {want}")
        return failures
    with xsession.XServer(1024, 768) as server:
        return xsession.play(server, body, run_folder, options=("0", "1", "1"))


def run(pictures, run_folder):
    return xsession.run_parts((
        ("Alt+Enter, F11 and F12 with a window manager", lambda: switching_run(run_folder, pictures)),
        ("full-screen start without a window manager", lambda: bare_full_screen_run(run_folder, pictures))))


if __name__ == "__main__":
    sys.exit(xsession.main("window_modes_test.py <run folder>", run, ("openbox", "xprop")))
