#!/usr/bin/env python3
# wine_test.py -- the Windows build run under Wine on Xvfb, with the window
# tests' own checks: the logo on white, the menu, Down x3 and Enter ending
# with status 0, the window's close request ending with 0, a sound driver
# that cannot open (the designed message, then a message box with the reason,
# then status 1), the options saved with CR LF lines, level 1 played for a few
# seconds, the window's small icon drawn at its size; the program alone (its
# data missing: a message box, status 1) and its command line (in a message
# box, or on the console of the command prompt it was started from); then the
# packages: the zip (README.txt, THIRD-PARTY.txt, the source archive beside
# it) unpacked under a path longer than 260 characters with spaces and
# letters outside any code page and started from elsewhere (it works in its
# own folder), the unpacked game in a folder nobody may write to at a drive's
# root (it works in %APPDATA%\Valmoren), the installer run silently, the game
# started from its Start-menu entry writing its options to %APPDATA%\Valmoren,
# the uninstaller removing the program and leaving that folder, a folder of
# the player's asked about on the folder page and, installed into, losing
# only the game's files on uninstall, the installer's pages starting no game; last, the game on a display scaled to
# 150 %: its window and the full screen in whole multiples, crisp; and the
# recordings the Linux program made under Xvfb (tests/replays) checked by
# valmoren.exe to the same score and digest, spoilt copies refused.
# The test hooks' files (the frame log, the pad script) are under a folder
# with letters outside any code page too. Message boxes are read through
# Wine's trace of the text it puts in them.
# Usage: wine_test.py <Windows build folder>; WINEPREFIX names a ready Wine
# prefix. Exit 0 pass, 1 fail.
import glob
import os
import pty
import re
import select
import shutil
import struct
import subprocess
import sys
import tarfile
import tempfile
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "xvfb"))
import xsession  # noqa: E402
import window_test  # noqa: E402
from xsession import listing, log, read_bytes, read_png  # noqa: E402

sys.path.insert(0, os.path.join(HERE, "..", "replays"))
import check_recordings  # noqa: E402

PLAYER_FOLDER_NAME = "Spiele von \u0141ukasz \u5c71\u7530"
MISSING_FILES = ("Valmoren's files are missing: unpack the whole folder before starting valmoren.exe. "
                 "Its pictures, sounds and story (img, sounds and suget.dat) belong beside it.")
USAGE = "usage: valmoren [--help | --version | --record FILE | --play FILE | --check FILE]\n"
# The libraries valmoren.exe holds, each of which THIRD-PARTY.txt must name.
LIBRARIES = ("SDL2", "libogg", "libvorbis", "libpng", "zlib", "mingw-w64", "GCC runtime")
# Wine's trace of each message box's text (its debugstr_w: escapes, cut
# after about 280 characters).
BOX_TRACE = re.compile(r'trace:msgbox:MSGBOX_OnInit L"((?:[^"\\]|\\.)*)"')


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


def options_and_level_run(server, run_folder, pictures, ico_path):
    failures = []
    game = window_test.start(server, run_folder)
    if game is None:
        return ["the game's window did not appear"]
    try:
        if not menu_up(game, pictures, failures):
            return failures
        game.find_again()
        problem = window_icon_problem(server, game.window, ico_path)
        if problem:
            failures.append(problem)
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


def wine_text(escaped):
    """A text as Wine's traces print it, as it was."""
    def one(m):
        e = m.group(1)
        return {"n": "\n", "r": "\r", "t": "\t", '"': '"', "\\": "\\"}.get(e) or chr(int(e, 16))
    return re.sub(r'\\([0-9a-fA-F]{4}|[nrt"\\])', one, escaped)


def box_texts(game):
    """The texts of the message boxes the program has shown so far."""
    return [wine_text(t) for t in BOX_TRACE.findall(game.error_output())]


def box_problem(texts, expected):
    """None when the last box said `expected` (its start, for a text longer
    than the trace holds)."""
    if not texts:
        return f"no message box saying {expected[:60]!r}"
    said = texts[-1]
    if said == expected or (len(said) >= 250 and expected.startswith(said)):
        return None
    return f"the message box says {said!r}, not {expected!r}"


def answer_box(game, failures, own_window=None, timeout=20.0):
    """Waits for a message box (a window of the game's name other than
    `own_window`) and answers it with Enter; False when none came."""
    deadline = time.monotonic() + timeout
    box = []
    while not box and time.monotonic() < deadline and game.proc.poll() is None:
        box = [w for w in windows_of(game.server) if w != own_window]
        time.sleep(0.2)
    if not box:
        failures.append("no message box came up")
        return False
    game.server.run("xdotool", "windowfocus", box[0])
    time.sleep(0.3)
    game.server.run("xdotool", "key", "Return")
    return True


def dismiss_message_box(game, failures):
    """After the key the Windows program shows the reason in a message box
    and ends once it is answered: the box says what standard error says."""
    if not answer_box(game, failures, game.window):
        return
    game.wait_end()
    said = [line for line in game.error_output().splitlines() if line.startswith("Can't initialize FMOD: ")]
    problem = box_problem(box_texts(game), said[0] if said else "Can't initialize FMOD: <a reason>")
    if problem:
        failures.append(problem)


def window_icon_problem(server, window, ico_path):
    """None when the window's small icon (the title bar's, 16 px at 100 %) is
    the program's own 16 px image, drawn at that size, rather than a larger
    one shrunk."""
    ico = read_bytes(ico_path) or b""
    png = None
    for i in range(struct.unpack("<H", ico[4:6])[0] if len(ico) >= 6 else 0):
        w, _, _, _, _, _, size, offset = struct.unpack("<BBBBHHII", ico[6 + 16 * i:22 + 16 * i])
        if w == 16:
            png = ico[offset:offset + size]
    if png is None:
        return f"{ico_path} holds no 16 px image"
    with tempfile.NamedTemporaryFile(suffix=".png") as f:
        f.write(png)
        f.flush()
        _, _, _, rows = read_png(f.name)
    r = server.run("xprop", "-id", window, "-notype", "32c", "_NET_WM_ICON")
    values = [int(v) for v in r.stdout.decode().partition("=")[2].replace(",", " ").split()]
    at = 0
    while at + 2 <= len(values):
        w, h = values[at], values[at + 1]
        if (w, h) == (16, 16):
            shown = values[at + 2:at + 2 + 256]
            same = 0
            for i, v in enumerate(shown):
                r_, g_, b_, a_ = rows[i // 16][4 * (i % 16):4 * (i % 16) + 4]
                same += ((v >> 24) & 255) == a_ and (a_ == 0 or ((v >> 16) & 255, (v >> 8) & 255, v & 255) ==
                                                     (r_, g_, b_))
            return None if same == 256 else f"the window's 16 px icon differs from the drawn one in {256 - same} pixels"
        at += 2 + w * h
    return "the window has no 16 px icon"


def start_without_console(server, program, args=(), cwd=None, folder=None):
    """The program started as Explorer starts it: no console, no standard
    handles (Wine's start); `folder`, when given, is the folder it starts
    in (start /d)."""
    where = ("/d", folder) if folder else ()
    unix = ("/unix",) if program.startswith("/") else ()
    return xsession.Game(server, program="wine", args=("start", "/wait") + where + unix + (program,) + tuple(args),
                         cwd=cwd or os.path.dirname(program))


def console_output(server, program, *args):
    """What the program writes on the console of the command prompt it was
    started from: cmd on a pseudo-terminal, as a console window would be."""
    master, slave = pty.openpty()
    proc = subprocess.Popen(["wine", "cmd", "/c", "start", "/wait", "/unix", program] + list(args),
                            stdin=slave, stdout=slave, stderr=slave, env=server.env,
                            cwd=os.path.dirname(program))
    os.close(slave)
    out = b""
    deadline = time.monotonic() + 60.0
    while time.monotonic() < deadline:
        ready, _, _ = select.select([master], [], [], 0.2)
        if ready:
            try:
                chunk = os.read(master, 4096)
            except OSError:
                break
            if not chunk:
                break
            out += chunk
        elif proc.poll() is not None:
            break
    os.close(master)
    if proc.poll() is None:
        proc.kill()
    proc.wait()
    text = re.sub(r"\x1b\[[0-9;?]*[A-Za-z]|\x1b\][^\x07]*\x07", "", out.decode(errors="replace"))
    return text.replace("\r", "")


def alone_and_command_line_run(server, stage):
    """valmoren.exe copied alone into a folder: a message box says the files
    are missing and it ends with 1. Its command line in a message box when
    it has no console (--help: the help, 0; anything else: the usage, 2; a
    recording it cannot read: why, 2), and on the console of the command prompt it was started from."""
    failures = []
    # A path without spaces: cmd's start would take a quoted one for a title.
    root = tempfile.mkdtemp(prefix="valmoren-alone-", dir="/tmp")
    try:
        program = os.path.join(root, "valmoren.exe")
        shutil.copy(os.path.join(stage, "valmoren.exe"), program)
        # Given standard output (a pipe), the help goes there.
        r = wine(server, program, "--help")
        help_text = r.stdout.decode(errors="replace").replace("\r\n", "\n")
        if r.returncode != 0 or not help_text.startswith(USAGE):
            failures.append(f"--help with a pipe for standard output gave status {r.returncode} and {help_text!r}")
        for args, expected, status in (((), MISSING_FILES, 1), (("--help",), help_text, 0),
                                       (("options.dat",), USAGE, 2),
                                       (("--play", "none.vrec"), "valmoren: none.vrec: cannot be read\n", 2)):
            what = " ".join(args) or "no arguments"
            game = start_without_console(server, program, args)
            try:
                found = []
                if answer_box(game, found):
                    game.wait_end()
                problem = found[0] if found else box_problem(box_texts(game), expected)
                ended = game.wait_end()
                if problem:
                    failures.append(f"{what}: {problem}")
                if ended != status:
                    failures.append(f"{what}: ended with status {ended}, not {status}")
                if failures:
                    log(game.text_output())
            finally:
                game.finish()
        said = console_output(server, program, "--version")
        if not re.search(r"^valmoren [0-9]+\.[0-9]+\.[0-9]+$", said, re.M):
            failures.append(f"--version in a command prompt printed {said!r}")
    finally:
        shutil.rmtree(root, ignore_errors=True)
    return failures


def package_text_problems(folder, out, version):
    """What is wrong with the texts the zip and the installer carry: README.txt
    and THIRD-PARTY.txt with CR LF lines, the README's version filled in and
    its words on unpacking, uninstalling and SmartScreen, every library the
    program holds in THIRD-PARTY.txt, and the source archive beside the
    downloads."""
    failures = []
    texts = {}
    for name in ("README.txt", "THIRD-PARTY.txt"):
        data = read_bytes(os.path.join(folder, name)) or b""
        if b"\n" in data.replace(b"\r\n", b"") or not data:
            failures.append(f"{name} is missing or has lines that do not end in CR LF")
        texts[name] = data.decode(errors="replace").replace("\r\n", " ").replace("\n", " ")
    readme = re.sub(r"\s+", " ", texts["README.txt"])
    if "<version>" in readme or "@VERSION@" in readme or f"Valmoren {version} for" not in readme:
        failures.append("README.txt does not name the version")
    for words in ("unpack the whole folder before starting", "uninstall.exe", '"Valmoren"', '"More info"',
                  '"Run anyway"', "THIRD-PARTY.txt", f"valmoren-{version}-source.tar.gz"):
        if words not in readme:
            failures.append(f"README.txt does not say {words}")
    third = texts["THIRD-PARTY.txt"]
    failures += [f"THIRD-PARTY.txt does not name {lib}" for lib in LIBRARIES if lib not in third]
    source = os.path.join(out, f"valmoren-{version}-source.tar.gz")
    try:
        with tarfile.open(source) as t:
            names = t.getnames()
        if f"valmoren-{version}-source/CMakeLists.txt" not in names:
            failures.append(f"{source} holds no CMakeLists.txt")
    except (OSError, tarfile.TarError):
        failures.append(f"no source archive {source} beside the zip")
    return failures


def options_saved_problems(game, pictures, options_path, what):
    """The started `game` shows its menu, saves its options with the music
    off into `options_path` and ends with 0 when its window is closed; what
    went wrong."""
    failures = []
    try:
        if game.find_window() is None:
            return [f"{what}: the window did not appear"]
        if menu_up(game, pictures, failures):
            save_options_with_music_off(game, pictures, failures)
            problem = options_problem(options_path)
            if problem:
                failures.append(problem)
        game.close_window(failures, what)
    finally:
        if failures:
            log(game.text_output())
        game.finish()
    return failures


def zip_run(server, zip_path, out, pictures):
    """Unpacked under an awkward path, longer than 260 characters, and
    started from another folder: the game finds its data beside itself and
    saves its options there."""
    failures = []
    root = tempfile.mkdtemp(prefix="valmoren-zip-")
    try:
        target = os.path.join(root, PLAYER_FOLDER_NAME, *["Ordner mit einem langen Namen %d" % i for i in range(8)])
        with zipfile.ZipFile(zip_path) as z:
            z.extractall(target)
        (folder,) = glob.glob(os.path.join(target, "Valmoren-*"))
        for name in ("valmoren.exe", "README.txt", "LICENSE.txt", "THIRD-PARTY.txt", "suget.dat", "img", "sounds"):
            if not os.path.exists(os.path.join(folder, name)):
                failures.append(f"the zip holds no {name}")
        failures += package_text_problems(folder, out, os.path.basename(folder).split("-", 1)[1])
        elsewhere = os.path.join(root, "elsewhere")
        os.makedirs(elsewhere)
        game = xsession.Game(server, program="wine", args=(os.path.join(folder, "valmoren.exe"),),
                             cwd=elsewhere)
        failures += options_saved_problems(game, pictures, os.path.join(folder, "options.dat"), "the unpacked game")
    finally:
        shutil.rmtree(root, ignore_errors=True)
    return failures


def make_unwritable(folder):
    """Makes the folder one nobody may write in, as a CD or a read-only share
    is: its mode for an ordinary user, the immutable flag for the superuser,
    whom modes do not stop. Returns what undoes it; None when neither works."""
    if os.geteuid() != 0:
        os.chmod(folder, 0o555)
        undo = lambda: os.chmod(folder, 0o755)  # noqa: E731
    elif subprocess.run(["chattr", "+i", folder], capture_output=True).returncode == 0:
        undo = lambda: subprocess.run(["chattr", "-i", folder], capture_output=True)  # noqa: E731
    else:
        return None
    try:
        open(os.path.join(folder, ".probe"), "w").close()
        os.remove(os.path.join(folder, ".probe"))
    except OSError:
        return undo
    undo()
    return None


def read_only_root_run(server, zip_path, pictures):
    """The unpacked game in a folder nobody may write to, reached as the root
    of a drive of its own (V:\valmoren.exe), started from a folder below it
    on the same drive: it reads its data from V:\, not from where it was
    started, and keeps the player's files in %APPDATA%\Valmoren."""
    failures = []
    prefix = os.environ["WINEPREFIX"]
    root = tempfile.mkdtemp(prefix="valmoren-cd-")
    drive = os.path.join(prefix, "dosdevices", "v:")
    undo = None
    player = None
    try:
        with zipfile.ZipFile(zip_path) as z:
            z.extractall(root)
        (folder,) = glob.glob(os.path.join(root, "Valmoren-*"))
        os.makedirs(os.path.join(folder, "sub"))
        undo = make_unwritable(folder)
        if undo is None:
            log("skipped: cannot make a folder nobody may write to here")
            return []
        before = listing(folder)
        if os.path.lexists(drive):
            os.remove(drive)
        os.symlink(folder, drive)
        appdata = glob.glob(os.path.join(prefix, "drive_c", "users", "*", "AppData", "Roaming"))
        if not appdata:
            return ["the Wine prefix has no AppData\\Roaming folder"]
        player = os.path.join(appdata[0], "Valmoren")
        game = start_without_console(server, r"V:\valmoren.exe", folder=r"V:\sub", cwd=root)
        failures += options_saved_problems(game, pictures, os.path.join(player, "options.dat"),
                                           "the game in a read-only folder")
        if listing(folder) != before:
            failures.append("the game wrote into the folder nobody may write to")
    finally:
        if undo:
            undo()
        if os.path.lexists(drive):
            os.remove(drive)
        if player:
            shutil.rmtree(player, ignore_errors=True)
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
    failures += players_folder_install(server, setup, drive_c)
    failures += installer_pages_run(server, setup, program_dir)
    return failures


def uninstall(server, folder, timeout=60.0):
    """Runs the uninstaller silently; it runs from a copy of itself and
    returns at once, so its end is seen when it removed itself."""
    wine(server, os.path.join(folder, "uninstall.exe"), "/S")
    deadline = time.monotonic() + timeout
    while os.path.exists(os.path.join(folder, "uninstall.exe")) and time.monotonic() < deadline:
        time.sleep(0.5)
    subprocess.run(["wineserver", "-w"], env=server.env, timeout=60)


def players_folder_install(server, setup, drive_c):
    """A folder of the player's holding an img folder of its own: the
    installer's folder page asks before putting the game among its files
    (Enter takes the default, No, back to the page); installed there
    silently, the uninstaller leaves exactly what was there."""
    games = os.path.join(drive_c, "Games")
    os.makedirs(os.path.join(games, "img"))
    with open(os.path.join(games, "img", "mine.txt"), "w") as f:
        f.write("the player's own")
    before = listing(games)
    failures = []
    try:
        asked = "C:\\Games already holds files that are not Valmoren's."
        texts, _ = through_pages(server, setup, (r"/D=C:\Games",), stop_at=asked)
        if not any(t.startswith(asked) for t in texts or []):
            failures.append(f"the folder page took C:\\Games, which holds the player's files, without asking "
                            f"(its message boxes: {texts})")
        if listing(games) != before:
            failures.append("the installer's pages put files into C:\\Games before asking")
        r = wine(server, setup, "/S", r"/D=C:\Games")
        if r.returncode != 0 or not os.path.exists(os.path.join(games, "img", "ball.bmp")):
            return failures + [f"the silent install into C:\\Games ended with status {r.returncode}, "
                               "its files not there"]
        uninstall(server, games)
        after = listing(games)
        if after != before:
            failures.append(f"uninstalling from C:\\Games left {sorted(set(after) - set(before))} and took "
                            f"{sorted(set(before) - set(after))}")
    finally:
        shutil.rmtree(games, ignore_errors=True)
    return failures


def through_pages(server, setup, args=(), stop_at=None, timeout=120.0):
    """The installer as a player goes through it, Enter on every page: the
    licence (I Agree), the components (Next), the folder (Install), the files
    being installed, the last page (Finish). With `stop_at` it is ended at the
    first message box whose text starts so. Returns the texts of the message
    boxes it showed (None when it neither ended nor showed that box in time)
    and whether a game window came up after its end; such a game is closed."""
    def box_texts_in(trace):
        trace.seek(0)
        return [wine_text(t) for t in BOX_TRACE.findall(trace.read().decode(errors="replace"))]

    with tempfile.TemporaryFile() as trace:
        proc = subprocess.Popen(["wine", setup] + list(args), env=server.env, stdout=subprocess.DEVNULL,
                                stderr=trace)
        texts, started = None, False
        try:
            deadline = time.monotonic() + timeout
            while proc.poll() is None and time.monotonic() < deadline:
                time.sleep(2.5)
                if stop_at and any(t.startswith(stop_at) for t in box_texts_in(trace)):
                    break
                for w in windows_of(server, "^Valmoren Setup")[:1]:
                    server.run("xdotool", "windowfocus", w)
                    time.sleep(0.3)
                    server.run("xdotool", "key", "Return")
            ended = proc.poll() is not None
            texts = box_texts_in(trace)
            if not ended and not (stop_at and any(t.startswith(stop_at) for t in texts)):
                texts = None
            deadline = time.monotonic() + (10.0 if ended else 0.0)
            while ended and not started and time.monotonic() < deadline:
                time.sleep(0.5)
                started = bool(windows_of(server))
        finally:
            if proc.poll() is None:
                proc.kill()
            for w in windows_of(server):
                server.ask_to_close(w)
            subprocess.run(["wineserver", "-w"], env=server.env, timeout=60)
    return texts, started


def installer_pages_run(server, setup, program_dir):
    """The installer's pages, Enter on each: it installs, and its last page
    starts no game (a game it started would run as the administrator the
    installer runs as)."""
    failures = []
    texts, started = through_pages(server, setup)
    if texts is None:
        failures.append("the installer's pages did not end with Enter on each")
    elif not os.path.exists(os.path.join(program_dir, "valmoren.exe")):
        failures.append("the installer's pages installed nothing")
    if started:
        failures.append("the installer's last page started the game")
    if os.path.exists(program_dir):
        uninstall(server, program_dir)
    return failures


def scaled_problem(shot, pictures, k, left=0, top=0):
    """None when the shot holds the menu k times its size with its corner at
    (left, top), each page pixel a crisp k x k square of one colour;
    otherwise what is wrong."""
    if shot is None or shot.w < left + 640 * k or shot.h < top + 480 * k:
        return f"no picture of {640 * k}x{480 * k} in the window"
    blurred = 0
    for y in range(0, 480, 5):
        for x in range(0, 640, 5):
            p = shot.pixel(left + x * k, top + y * k)
            blurred += any(shot.pixel(left + x * k + i, top + y * k + j) != p for i in range(k) for j in range(k))
    if blurred:
        return f"{blurred} of {128 * 96} page pixels looked at are not crisp {k}x{k} squares"
    rows = bytearray()
    for y in range(480):
        for x in range(640):
            rows += bytes(shot.pixel(left + x * k, top + y * k))
    return window_test.menu_problem(xsession.Picture(640, 480, bytes(rows)), pictures)


def set_display_dpi(server, dpi):
    """Wine's display scaling for programs started from now on (96 is 100 %),
    with a fresh Wine server, whose desktop then covers `server`'s screen."""
    subprocess.run(["wineserver", "-k"], env=server.env, timeout=60)
    subprocess.run(["wineserver", "-w"], env=server.env, timeout=60)
    wine(server, "reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t", "REG_DWORD", "/d",
         str(dpi), "/f")
    subprocess.run(["wineserver", "-w"], env=server.env, timeout=60)


def scaled_display_run(stage, pictures):
    """At 150 % (144 DPI) on a 2560x1440 screen the window is the page at
    twice its size in real pixels, and the full screen three times, every
    page pixel a crisp square."""
    failures = []
    server = xsession.XServer(2560, 1440)
    game = None
    try:
        set_display_dpi(server, 144)
        game = window_test.start(server, stage)
        if game is None:
            return ["the game's window did not appear"]
        problem = window_test.poll(game, lambda shot: scaled_problem(shot, pictures, 2), 8.0, 30.0)
        if problem:
            failures.append(f"the window at 150 %: {problem} (it is {game.geometry()})")
        game.focus()
        server.run("xdotool", "key", "alt+Return")
        time.sleep(2.0)
        game.find_again()
        problem = window_test.poll(game, lambda shot: scaled_problem(shot, pictures, 3, (2560 - 1920) // 2, 0),
                                   0.0, game.since_window() + 15.0)
        if problem:
            failures.append(f"the full screen at 150 %: {problem}")
        game.close_window(failures, "the game at 150 %")
    finally:
        if game is not None:
            if failures:
                log(game.text_output())
            game.finish()
        set_display_dpi(server, 96)
        server.stop()
    return failures


def main():
    if len(sys.argv) != 2:
        print("usage: wine_test.py <Windows build folder>")
        return 1
    out = os.path.abspath(sys.argv[1])
    (stage,) = glob.glob(os.path.join(out, "Valmoren-*[0-9]"))
    (zip_path,) = glob.glob(os.path.join(out, "valmoren-*-windows-x86_64.zip"))
    (setup,) = glob.glob(os.path.join(out, "valmoren-*-setup.exe"))
    ico_path = os.path.join(out, "valmoren.ico")
    pictures = {n: xsession.read_bmp(os.path.join(stage, "img", n + ".bmp")) for n in xsession.MENU_PICTURES}
    # Message boxes are read through Wine's trace of their text; the games'
    # copies and the test hooks' files go under a folder named in scripts
    # outside any code page.
    os.environ["WINEDEBUG"] = "-all,+msgbox"
    tempfile.tempdir = tempfile.mkdtemp(prefix="valmoren-wine-" + PLAYER_FOLDER_NAME + "-")
    server = xsession.XServer()
    try:
        return xsession.run_parts((
            ("menu exit", lambda: window_test.menu_exit_run(server, stage, pictures)),
            ("window close", lambda: window_test.close_window_run(server, stage, pictures)),
            ("sound failure",
             lambda: window_test.sound_failure_run(server, stage, dismiss_message_box)),
            ("options, icon and level 1", lambda: options_and_level_run(server, stage, pictures, ico_path)),
            ("the program alone and its command line", lambda: alone_and_command_line_run(server, stage)),
            ("zip", lambda: zip_run(server, zip_path, out, pictures)),
            ("read-only folder at a drive's root", lambda: read_only_root_run(server, zip_path, pictures)),
            ("installer", lambda: installer_run(server, setup, pictures)),
            ("scaled display", lambda: scaled_display_run(stage, pictures)),
            ("recordings made on Linux", lambda: check_recordings.problems(stage, env=server.env))))
    finally:
        server.stop()
        shutil.rmtree(tempfile.tempdir, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
