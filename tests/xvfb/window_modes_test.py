#!/usr/bin/env python3
# window_modes_test.py -- full screen at run time and screenshots, in the real
# game's window under Xvfb:
#  1. With a window manager (openbox) on a 1280x960 screen: at the menu, with
#     the ball on Options, Alt+Enter makes the window the screen's size and the
#     picture exactly the page at twice its size (crisp, 4:3); the menu is the
#     same (Enter did not choose Options); Alt+Enter again and F11 twice go
#     back and forth the same way. F12 twice in a second writes two PNG files
#     that decode (ImageMagick) to exactly the page the window shows; options.dat
#     is left as it was.
#  2. Without a window manager, started in full screen (options.dat's third
#     line "1"): the window covers the 1024x768 screen and shows the whole
#     picture, its corners' pixels the page's corners.
# Usage: window_modes_test.py <run folder>. Exit 0 pass, 1 fail, 77 skipped.
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import xsession  # noqa: E402
import window_test  # noqa: E402
from xsession import log  # noqa: E402

OPTIONS_Y = 300  # the ball beside Options


def switched(game, keys, page, scale, what, failures):
    """Presses `keys` and expects the window to become `scale` times the
    page's size, showing the page crisply at that scale. False, with the
    problem added to `failures`, when the window did not take that size."""
    size = (640 * scale, 480 * scale)
    game.focus()
    game.server.run("xdotool", "key", keys)
    place = wait_for_size(game, size)
    if place is None or place[2:] != size:
        failures.append(f"{what}: the window did not become {size[0]}x{size[1]} ({place})")
        return False
    problem = shows_page(game, page, scale)
    if problem:
        failures.append(f"{what}: " + problem)
    return True


def screenshots(game):
    folder = os.path.join(game.copy, "screenshots")
    try:
        return sorted(os.path.join(folder, n) for n in os.listdir(folder))
    except OSError:
        return []


def decode(path):
    """A PNG file as a Picture, through ImageMagick; None when it does not decode."""
    r = subprocess.run(["convert", "png:" + path, "-depth", "8", "ppm:-"], capture_output=True, timeout=30)
    return xsession.read_ppm(r.stdout) if r.returncode == 0 else None


def take_screenshot(game):
    """F12, then the picture it wrote (None when no new file came)."""
    before = set(screenshots(game))
    game.press("F12", hold=0.05, gap=0.05)
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        new = [f for f in screenshots(game) if f not in before]
        if new:
            time.sleep(0.2)  # written whole by now
            return decode(new[0])
        time.sleep(0.05)
    return None


def scaled(page, factor):
    """The page blown up `factor` times, pixel for pixel."""
    rows = []
    for y in range(page.h):
        row = b"".join(page.data[(y * page.w + x) * 3:(y * page.w + x) * 3 + 3] * factor for x in range(page.w))
        rows.extend([row] * factor)
    return xsession.Picture(page.w * factor, page.h * factor, b"".join(rows))


def wait_for_size(game, size, timeout=5.0):
    deadline = time.monotonic() + timeout
    place = None
    while time.monotonic() < deadline:
        place = game.geometry()
        if place and (place[2], place[3]) == size:
            return place
        time.sleep(0.05)
    return place


def shows_page(game, page, factor):
    """None when the window shows exactly the page at `factor` times its size
    (after a moment for the window to settle); otherwise what it shows."""
    want = scaled(page, factor) if factor > 1 else page
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
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        r = server.run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK")
        if b"window id" in r.stdout:
            return wm
        time.sleep(0.1)
    wm.kill()
    return None


def switching_run(run_folder, pictures):
    failures = []
    server = xsession.XServer(1280, 960)
    wm = start_window_manager(server)
    if wm is None:
        server.stop()
        return ["openbox did not start"]
    game = xsession.Game(server, run_folder, options=("0", "1", "0"))
    try:
        if game.find_window() is None or not game.focus_when_shown():
            return ["the game's window did not appear"]
        problem = window_test.poll(game, window_test.menu_problem, 8.0, 20.0, pictures)
        if problem:
            return ["menu: " + problem]
        game.press("Down")
        page = take_screenshot(game)
        if page is None:
            return ["F12 wrote no picture that decodes"]
        problem = window_test.menu_problem(page, pictures, OPTIONS_Y)
        if problem:
            return ["the screenshot is not the menu with the ball on Options: " + problem]
        problem = shows_page(game, page, 1)
        if problem:
            failures.append("the screenshot is not what the window shows: " + problem)

        # F12 twice within a second: two files, both the page.
        before = len(screenshots(game))
        game.press("F12", hold=0.05, gap=0.1)
        game.press("F12", hold=0.05, gap=0.5)
        files = screenshots(game)
        if len(files) != before + 2:
            failures.append(f"two presses of F12 in a second wrote {len(files) - before} files, not 2")
        for f in files[before:]:
            picture = decode(f)
            if picture is None or picture.data != page.data:
                failures.append(f"{os.path.basename(f)} is not the page shown")

        for keys, name in (("alt+Return", "Alt+Enter"), ("F11", "F11")):
            if not switched(game, keys, page, 2, f"{name}, full screen", failures):
                continue
            shot = take_screenshot(game)
            if shot is None or shot.data != page.data:
                failures.append(f"{name}, full screen: the menu changed (Enter chose an entry?)")
            switched(game, keys, page, 1, f"{name} again, in a window", failures)

        with open(os.path.join(game.copy, "options.dat"), "rb") as f:
            if f.read() != b"0\r\n1\r\n0\r\n":
                failures.append("options.dat was changed")
        game.close_window(failures)
    finally:
        if failures:
            log(game.text_output())
        game.finish()
        wm.kill()
        wm.wait()
        server.stop()
    return failures


def bare_full_screen_run(run_folder, pictures):
    failures = []
    server = xsession.XServer(1024, 768)
    game = xsession.Game(server, run_folder, options=("0", "1", "1"))
    try:
        if game.find_window() is None or not game.focus_when_shown():
            return ["the game's window did not appear"]
        # The menu, judged by the game's own screenshots (the window itself is
        # what is under test).
        deadline = time.monotonic() + 25
        page = None
        while time.monotonic() < deadline:
            time.sleep(1.0)
            if game.since_window() > 8.0:
                page = take_screenshot(game)
                if page is not None and window_test.menu_problem(page, pictures) is None:
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
    finally:
        if failures:
            log(game.text_output())
        game.finish()
        server.stop()
    return failures


def main():
    if len(sys.argv) != 2:
        print("usage: window_modes_test.py <run folder>")
        return 1
    run_folder = os.path.abspath(sys.argv[1])
    missing = xsession.missing_tools() + [t for t in ("openbox", "xprop", "convert") if shutil.which(t) is None]
    if missing:
        log("skipped: not installed:", ", ".join(missing))
        return xsession.SKIP
    pictures = window_test.menu_pictures(run_folder)
    if pictures is None:
        log("cannot read the menu's pictures")
        return 1
    return xsession.run_parts((
        ("Alt+Enter, F11 and F12 with a window manager", lambda: switching_run(run_folder, pictures)),
        ("full-screen start without a window manager", lambda: bare_full_screen_run(run_folder, pictures))))


if __name__ == "__main__":
    sys.exit(main())
