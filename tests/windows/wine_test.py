#!/usr/bin/env python3
# wine_test.py -- the Windows build run under Wine on Xvfb, with the window
# tests' own checks: the logo on white, the menu, Down x3 and Enter ending
# with status 0, the window's close request ending with 0, a sound driver
# that cannot open (the designed message, then a message box with the reason,
# then status 1), the options saved with CR LF lines, level 1 played for a few
# seconds; then the packages: the zip unpacked under a path with spaces and
# letters outside any code page and started from elsewhere (it works in its
# own folder), and the installer run silently, the game started from its
# Start-menu entry writing its options to %APPDATA%\Valmoren, and the
# uninstaller removing the program and leaving that folder.
# Usage: wine_test.py <Windows build folder>; WINEPREFIX names a ready Wine
# prefix. Exit 0 pass, 1 fail.
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "xvfb"))
import xsession  # noqa: E402
import window_test  # noqa: E402
from xsession import log  # noqa: E402

sys.path.insert(0, os.path.join(HERE, "..", "install"))
from installed_window import read_bytes  # noqa: E402

PLAYER_FOLDER_NAME = "Spiele von \u0141ukasz \u5c71\u7530"


def windows_of(server, name="^Valmoren$"):
    r = server.run("xdotool", "search", "--onlyvisible", "--name", name)
    return [w.decode() for w in r.stdout.split()] if r.returncode == 0 else []


def menu_up(game, pictures, failures, first=8.0):
    problem = window_test.poll(game, window_test.menu_problem, first, first + 25.0, pictures)
    if problem:
        failures.append("menu: " + problem)
    return problem is None


def save_options_with_music_off(game, pictures, failures):
    """From the menu: Options, Enter on Music, Down x3 to Save and Exit,
    Enter; back at the menu."""
    game.press("Down")
    game.press("Return")
    time.sleep(1.0)
    game.press("Return")
    for _ in range(3):
        game.press("Down")
    game.press("Return")
    time.sleep(1.5)


def options_problem(path):
    data = read_bytes(path)
    if data != b"0\r\n1\r\n0\r\n":
        return f"options.dat at {path} holds {data!r}, not music off, mouse, window with CR LF lines"
    return None


def shortcut_problems(game, server):
    """F12 writes a 640x480 PNG into screenshots\\; Alt+Enter makes the window
    cover the screen and F11 brings it back to 640x480."""
    problems = []
    game.focus()
    server.run("xdotool", "key", "F12")
    deadline = time.monotonic() + 10.0
    shots = []
    while not shots and time.monotonic() < deadline:
        time.sleep(0.2)
        shots = glob.glob(os.path.join(game.copy, "screenshots", "valmoren_*.png"))
    png = read_bytes(shots[0]) if shots else b""
    size = (640).to_bytes(4, "big") + (480).to_bytes(4, "big")
    if png[:8] != b"\x89PNG\r\n\x1a\n" or png[16:24] != size:
        problems.append(f"F12 wrote no 640x480 PNG into screenshots (found {shots})")
    for keys, size, what in (("alt+Return", (1024, 768), "Alt+Enter"), ("F11", (640, 480), "F11")):
        game.focus()
        server.run("xdotool", "key", keys)
        deadline = time.monotonic() + 10.0
        place = None
        while time.monotonic() < deadline:
            time.sleep(0.3)
            found = windows_of(server)
            if found:
                game.window = found[0]
                place = game.geometry()
                if place and place[2:] == size:
                    break
        if not place or place[2:] != size:
            problems.append(f"after {what} the window is {place}, not {size[0]}x{size[1]}")
    return problems


def options_and_level_run(server, run_folder, pictures):
    failures = []
    game = window_test.start(server, run_folder)
    if game is None:
        return ["the game's window did not appear"]
    try:
        if not menu_up(game, pictures, failures):
            return failures
        save_options_with_music_off(game, pictures, failures)
        problem = options_problem(os.path.join(game.copy, "options.dat"))
        if problem:
            failures.append(problem)
        # Back at the menu with the ball at Options: up to Start and play.
        game.press("Up")
        if not game.start_first_level():
            failures.append("the story slides did not come up")
            return failures
        time.sleep(9.0)  # the closing wipe and the get-ready overlay
        before = game.presents()
        time.sleep(4.0)
        shown = game.presents()[len(before):]
        # Nobody plays the ball: between the level's own frames come the
        # get-ready overlays of each ball lost, but the screen goes on.
        level = sum(1 for e in shown if e[3])
        if len(shown) < 4 * 40 or level < 30:
            failures.append(f"level 1 showed {len(shown)} frames in 4 s, {level} of them the level's own")
        if game.proc.poll() is not None:
            failures.append(f"the game ended during level 1 with status {game.proc.poll()}")
        failures += shortcut_problems(game, server)
        game.close_window(failures, "level 1")
    finally:
        if failures:
            log(game.text_output())
        game.finish()
    return failures


def dismiss_message_box(game, failures):
    """After the key the Windows program shows the reason in a message box
    (a second window of the game's name) and ends once it is answered."""
    deadline = time.monotonic() + 20.0
    box = []
    while not box and time.monotonic() < deadline and game.proc.poll() is None:
        box = [w for w in windows_of(game.server) if w != game.window]
        time.sleep(0.2)
    if not box:
        failures.append("no message box with the reason came up")
        return
    game.server.run("xdotool", "windowfocus", box[0])
    time.sleep(0.3)
    game.server.run("xdotool", "key", "Return")


def zip_run(server, zip_path, pictures):
    """Unpacked under an awkward path and started from another folder: the
    game finds its data beside itself and saves its options there."""
    failures = []
    root = tempfile.mkdtemp(prefix="valmoren-zip-")
    try:
        target = os.path.join(root, PLAYER_FOLDER_NAME)
        with zipfile.ZipFile(zip_path) as z:
            z.extractall(target)
        (folder,) = glob.glob(os.path.join(target, "Valmoren-*"))
        for name in ("valmoren.exe", "README.txt", "LICENSE.txt", "suget.dat", "img", "sounds"):
            if not os.path.exists(os.path.join(folder, name)):
                failures.append(f"the zip holds no {name}")
        readme = read_bytes(os.path.join(folder, "README.txt")) or b""
        if b"\n" in readme.replace(b"\r\n", b""):
            failures.append("README.txt has lines that do not end in CR LF")
        elsewhere = os.path.join(root, "elsewhere")
        os.makedirs(elsewhere)
        game = xsession.Game(server, program="wine", args=(os.path.join(folder, "valmoren.exe"),),
                             cwd=elsewhere)
        try:
            if game.find_window() is None:
                failures.append("the unpacked game's window did not appear")
                return failures
            if menu_up(game, pictures, failures):
                save_options_with_music_off(game, pictures, failures)
                problem = options_problem(os.path.join(folder, "options.dat"))
                if problem:
                    failures.append(problem)
            game.close_window(failures, "the unpacked game")
        finally:
            if failures:
                log(game.text_output())
            game.finish()
    finally:
        shutil.rmtree(root, ignore_errors=True)
    return failures


def wine(server, *args, timeout=120):
    return subprocess.run(["wine"] + list(args), env=server.env, capture_output=True, timeout=timeout)


def installer_run(server, setup, pictures):
    failures = []
    prefix = os.environ["WINEPREFIX"]
    drive_c = os.path.join(prefix, "drive_c")
    program_dir = os.path.join(drive_c, "Program Files", "Valmoren")
    r = wine(server, setup, "/S")
    if r.returncode != 0:
        return [f"the silent install ended with status {r.returncode}"]
    for name in ("valmoren.exe", "uninstall.exe", "installed.txt", "suget.dat", "img", "sounds"):
        if not os.path.exists(os.path.join(program_dir, name)):
            failures.append(f"the install holds no {name}")
    links = glob.glob(os.path.join(drive_c, "ProgramData", "Microsoft", "Windows", "Start Menu", "Programs",
                                   "Valmoren.lnk"))
    if not links:
        return failures + ["no Start-menu entry"]
    registered = wine(server, "reg", "query",
                      r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Valmoren")
    if b"DisplayName" not in registered.stdout:
        failures.append("no entry in Apps & features")
    appdata = glob.glob(os.path.join(drive_c, "users", "*", "AppData", "Roaming"))
    if not appdata:
        return failures + ["the Wine prefix has no AppData\\Roaming folder"]
    player = os.path.join(appdata[0], "Valmoren")
    # From the Start-menu entry, as a player starts it. Wine's start does not
    # wait for a program started through a shortcut, so the game is followed
    # by its window.
    game = xsession.Game(server, program="wine",
                         args=("start", r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Valmoren.lnk"),
                         cwd=prefix)
    try:
        deadline = time.monotonic() + 30.0
        while not windows_of(server) and time.monotonic() < deadline:
            time.sleep(0.1)
        found = windows_of(server)
        if not found:
            failures.append("the installed game's window did not appear")
            return failures
        game.window, game.window_seen = found[0], time.monotonic()
        if menu_up(game, pictures, failures):
            save_options_with_music_off(game, pictures, failures)
            problem = options_problem(os.path.join(player, "options.dat"))
            if problem:
                failures.append(problem)
            if os.path.exists(os.path.join(program_dir, "options.dat")):
                failures.append("the installed game wrote options.dat into its program folder")
        game.ask_to_close()
        deadline = time.monotonic() + 20.0
        while windows_of(server) and time.monotonic() < deadline:
            time.sleep(0.1)
        if windows_of(server):
            failures.append("the installed game's window stayed after its close request")
    finally:
        if failures:
            log(game.text_output())
        game.finish()
    subprocess.run(["wineserver", "-w"], env=server.env, timeout=60)
    # The uninstaller runs from a copy of itself and returns at once.
    r = wine(server, os.path.join(program_dir, "uninstall.exe"), "/S")
    deadline = time.monotonic() + 60.0
    while os.path.exists(program_dir) and time.monotonic() < deadline:
        time.sleep(0.5)
    if os.path.exists(program_dir):
        failures.append(f"the uninstaller left {os.listdir(program_dir)} in the program folder")
    if glob.glob(os.path.join(drive_c, "ProgramData", "Microsoft", "Windows", "Start Menu", "Programs",
                              "Valmoren.lnk")):
        failures.append("the uninstaller left the Start-menu entry")
    if read_bytes(os.path.join(player, "options.dat")) != b"0\r\n1\r\n0\r\n":
        failures.append("the uninstaller did not leave the player's options in %APPDATA%\\Valmoren")
    registered = wine(server, "reg", "query",
                      r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Valmoren")
    if b"DisplayName" in registered.stdout:
        failures.append("the uninstaller left the entry in Apps & features")
    return failures


def main():
    if len(sys.argv) != 2:
        print("usage: wine_test.py <Windows build folder>")
        return 1
    out = os.path.abspath(sys.argv[1])
    (stage,) = glob.glob(os.path.join(out, "Valmoren-*[0-9]"))
    (zip_path,) = glob.glob(os.path.join(out, "valmoren-*-windows-x86_64.zip"))
    (setup,) = glob.glob(os.path.join(out, "valmoren-*-setup.exe"))
    names = ["logo3", "l1", "ball"] + [name for name, _ in window_test.BUTTONS]
    pictures = {n: xsession.read_bmp(os.path.join(stage, "img", n + ".bmp")) for n in names}
    server = xsession.XServer()
    try:
        return xsession.run_parts((
            ("menu exit", lambda: window_test.menu_exit_run(server, stage, pictures)),
            ("window close", lambda: window_test.close_window_run(server, stage, pictures)),
            ("sound failure",
             lambda: window_test.sound_failure_run(server, stage, dismiss_message_box)),
            ("options and level 1", lambda: options_and_level_run(server, stage, pictures)),
            ("zip", lambda: zip_run(server, zip_path, pictures)),
            ("installer", lambda: installer_run(server, setup, pictures))))
    finally:
        server.stop()


if __name__ == "__main__":
    sys.exit(main())
