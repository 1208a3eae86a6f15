#!/usr/bin/env python3
# install_test.py -- the game installed with DESTDIR into a temporary prefix
# and run from there as a player would run it:
#   - the installed files: program, data as generated, desktop entry,
#     metainfo, icons at every size, manual page, licence;
#   - desktop-file-validate and appstreamcli on them (skipped with a message
#     where missing);
#   - --help, --version and a wrong argument: output and exit status, before
#     any folder is made;
#   - the player's folder chosen from the program's own location and made on
#     the first start;
#   - the whole game headless at the install layout (the scripted players):
#     options saved, the score log appended and the game's recording kept in
#     the player's folder and nowhere else, a picture dropped into the player's img/ drawn instead of
#     the installed one, the installed data untouched;
#   - the real program in a window under Xvfb (skipped where missing): logo,
#     menu with the dropped picture, Options, a value changed, Save and Exit,
#     options.dat in the player's folder, Exit.
# Usage: install_test.py BUILD_DIR INSTALLED_PLAYER. Exit 0 pass, 1 fail.
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # the source tree stays as checked out
import xml.etree.ElementTree as ET


HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "xvfb"))
import xsession  # noqa: E402
from xsession import log  # noqa: E402

PREFIX = "/usr/local"
APP_ID = "org.valmoren.valmoren"
ICON_SIZES = (32, 48, 64, 128, 256)
EXIT_BUTTON_COLOUR = (0x20, 0xC0, 0x40)
SOURCE = os.path.normpath(os.path.join(HERE, "..", ".."))


def run(args, env=None, cwd=None, timeout=60):
    return subprocess.run(args, env=env, cwd=cwd, capture_output=True, timeout=timeout)


def project_version(build):
    with open(os.path.join(build, "CMakeCache.txt")) as f:
        for line in f:
            if line.startswith("CMAKE_PROJECT_VERSION:"):
                return line.split("=", 1)[1].strip()
    return None


def write_solid_bmp(path, w, h, rgb):
    """A 24-bit BMP of one colour."""
    stride = (w * 3 + 3) & ~3
    pixels = (bytes((rgb[2], rgb[1], rgb[0])) * w + bytes(stride - 3 * w)) * h
    header = b"BM" + (54 + len(pixels)).to_bytes(4, "little") + bytes(4) + (54).to_bytes(4, "little")
    info = (40).to_bytes(4, "little") + w.to_bytes(4, "little") + h.to_bytes(4, "little") + \
        (1).to_bytes(2, "little") + (24).to_bytes(2, "little") + bytes(24)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


def icon_problems(path, size):
    """What is wrong with one installed icon: not a PNG of size x size with
    alpha, not transparent in its corners, or too little of the ship's bright
    hull to read at that size."""
    png = xsession.read_png(path)
    if png is None:
        return [f"{path}: not a readable 8-bit PNG"]
    w, h, channels, rows = png
    if (w, h, channels) != (size, size, 4):
        return [f"{path}: {w}x{h} with {channels} channels, not {size}x{size} RGBA"]
    problems = []
    if rows[0][3] != 0 or rows[-1][-1] != 0:
        problems.append(f"{path}: the corners are not transparent")
    opaque = bright = 0
    for row in rows:
        for x in range(w):
            r, g, b, a = row[4 * x:4 * x + 4]
            if a == 255:
                opaque += 1
                bright += (r * 3 + g * 6 + b) // 10 >= 140
            elif a != 0:
                problems.append(f"{path}: half-transparent pixels")
                return problems
    if opaque < 0.8 * w * h:
        problems.append(f"{path}: only {opaque} of {w * h} pixels drawn")
    # The ship's light hull and wings stand out against the dark square.
    if bright < 0.08 * w * h:
        problems.append(f"{path}: only {bright} bright pixels: the ship would not read")
    return problems


def installed_file_problems(build, top):
    """The install under `top` (DESTDIR + prefix) against what the build made."""
    problems = []
    game = os.path.join(build, "game")
    data = os.path.join(top, "share", "valmoren")
    program = os.path.join(top, "bin", "valmoren")
    if not os.access(program, os.X_OK):
        problems.append("bin/valmoren is missing or not executable")
    # The data is exactly what the generator wrote: every picture, sound and
    # the captions, nothing a player's run left in the run folder.
    generated = {k: v for k, v in xsession.listing(game).items()
                 if k.split("/")[0] in ("img", "sounds", "suget.dat")}
    installed = xsession.listing(data)
    if installed != generated:
        extra = sorted(set(installed) - set(generated))
        missing = sorted(set(generated) - set(installed))
        changed = sorted(k for k in set(installed) & set(generated) if installed[k] != generated[k])
        problems.append(f"share/valmoren differs from the run folder's data: extra {extra[:5]}, "
                        f"missing {missing[:5]}, changed {changed[:5]}")
    if not any(k.startswith("img/rotate/") for k in installed):
        problems.append("share/valmoren/img/rotate is empty")

    desktop = os.path.join(top, "share", "applications", APP_ID + ".desktop")
    entries = {}
    try:
        with open(desktop) as f:
            entries = dict(line.rstrip("\n").split("=", 1) for line in f if "=" in line)
    except OSError:
        problems.append(f"no desktop entry share/applications/{APP_ID}.desktop")
    if entries and (entries.get("Exec", "").split() or [""])[0] != "valmoren":
        problems.append(f"the desktop entry starts {entries.get('Exec')!r}, not the installed valmoren")
    if entries and entries.get("Icon") != APP_ID:
        problems.append(f"the desktop entry's icon is {entries.get('Icon')!r}, not {APP_ID}")

    for size in ICON_SIZES:
        icon = os.path.join(top, "share", "icons", "hicolor", f"{size}x{size}", "apps", APP_ID + ".png")
        problems += icon_problems(icon, size)

    problems += metainfo_problems(os.path.join(top, "share", "metainfo", APP_ID + ".metainfo.xml"))

    manual = os.path.join(top, "share", "man", "man6", "valmoren.6")
    if not os.path.isfile(manual):
        problems.append("no manual page share/man/man6/valmoren.6")
    elif shutil.which("man"):
        r = run(["man", "--warnings", "-l", manual], env=dict(os.environ, MANPAGER="cat", MANWIDTH="80"))
        if r.returncode != 0 or r.stderr.strip():
            problems.append("the manual page does not format cleanly: " + r.stderr.decode(errors="replace")[:300])
        elif b"player" not in r.stdout or b"img/" not in r.stdout:
            problems.append("the manual page does not tell where the player's files and pictures go")
    licence = os.path.join(top, "share", "doc", "valmoren", "LICENSE")
    if not os.path.isfile(licence):
        problems.append("no licence in share/doc/valmoren")

    # Nothing lands anywhere else.
    allowed = ("share/valmoren/", "share/applications/", "share/metainfo/",
               "share/icons/hicolor/", "share/man/man6/", "share/doc/valmoren/")
    for top_dir, _, files in os.walk(top):
        for f in files:
            rel = os.path.relpath(os.path.join(top_dir, f), top)
            if rel != "bin/valmoren" and not rel.startswith(allowed):
                problems.append(f"unexpected installed file {rel}")
    return problems


def metainfo_problems(path):
    problems = []
    try:
        root = ET.parse(path).getroot()
    except (OSError, ET.ParseError) as e:
        return [f"metainfo {path}: {e}"]
    if root.findtext("id") != APP_ID:
        problems.append(f"metainfo id {root.findtext('id')!r}")
    launchable = root.find("launchable")
    if launchable is None or launchable.text != APP_ID + ".desktop":
        problems.append("metainfo does not launch the installed desktop entry")
    for tag in ("name", "summary", "description", "content_rating", "project_license"):
        if root.find(tag) is None:
            problems.append(f"metainfo has no {tag}")
    # The licence is the one in LICENSE.
    with open(os.path.join(SOURCE, "LICENSE")) as f:
        head = f.read(400)
    if root.findtext("project_license") != "GPL-3.0-or-later" or "Version 3" not in head:
        problems.append(f"metainfo licence {root.findtext('project_license')!r} is not the LICENSE file's")
    # The screenshots are the README's pictures of the desktop game (the
    # README also shows the browser page, web*.png, which is no screenshot of
    # this app).
    with open(os.path.join(SOURCE, "README.md")) as f:
        readme = {name for name in re.findall(r"\((docs/screenshots/[^)]+\.png)\)", f.read())
                  if not name.startswith("docs/screenshots/web")}
    shown = {img.text.split("/", 3)[-1] if img.text else "" for img in root.iter("image")}
    shown = {s[s.find("docs/screenshots/"):] for s in shown}
    if not readme or shown != readme:
        problems.append(f"metainfo screenshots {sorted(shown)} are not the README's {sorted(readme)}")
    for name in readme:
        if not os.path.isfile(os.path.join(SOURCE, name)):
            problems.append(f"the README's screenshot {name} is missing")
    return problems


def validator_problems(top):
    problems = []
    checks = (("desktop-file-validate", os.path.join(top, "share", "applications", APP_ID + ".desktop")),
              ("appstreamcli", os.path.join(top, "share", "metainfo", APP_ID + ".metainfo.xml")))
    for tool, path in checks:
        if shutil.which(tool) is None:
            log(f"skipped {tool}: not installed")
            continue
        args = [tool, path] if tool != "appstreamcli" else [tool, "validate", "--no-net", path]
        r = run(args)
        out = (r.stdout + r.stderr).decode(errors="replace").strip()
        log(f"{tool}: {out.splitlines()[-1] if out else 'no output'}")
        if r.returncode != 0:
            problems.append(f"{tool} rejects {os.path.basename(path)}:\n{out}")
    return problems


def command_line_problems(program, version, work):
    """--help, --version and a wrong argument, without a display, a sound
    device or any folder being made."""
    problems = []
    home = os.path.join(work, "cli-home")
    os.makedirs(home)
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "XDG_DATA_HOME")}
    env.update(HOME=home, SDL_AUDIODRIVER="nosuchdriver")
    cases = ((["--help"], 0, "usage: valmoren [--help | --version | --record FILE | --play FILE | --check FILE]\n", ""),
             (["--version"], 0, f"valmoren {version}\n", ""),
             (["--vers"], 2, "", "usage: valmoren [--help | --version | --record FILE | --play FILE | --check FILE]\n"),
             (["--help", "extra"], 2, "", "usage: valmoren [--help | --version | --record FILE | --play FILE | --check FILE]\n"))
    for args, status, out_start, err in cases:
        try:
            r = run([program] + args, env=env, cwd=work, timeout=20)
        except subprocess.TimeoutExpired:
            problems.append(f"valmoren {' '.join(args)} did not end")
            continue
        out, got_err = r.stdout.decode(errors="replace"), r.stderr.decode(errors="replace")
        if r.returncode != status or not out.startswith(out_start) or (status and out) or got_err != err:
            problems.append(f"valmoren {' '.join(args)}: status {r.returncode}, out {out[:80]!r}, "
                            f"err {got_err!r}")
    if os.listdir(home):
        problems.append(f"the command line made files in the home folder: {os.listdir(home)}")
    return problems


def folder_choice_problems(player_program, top, work):
    """The headless program, installed beside valmoren, reports the folders
    it chose: HOME's default when XDG_DATA_HOME is unset or relative, made
    on the first start."""
    problems = []
    home = os.path.join(work, "where-home")
    os.makedirs(home)
    env = {k: v for k, v in os.environ.items() if k != "XDG_DATA_HOME"}
    for xdg in (None, "relative/data"):
        env["HOME"] = home
        if xdg:
            env["XDG_DATA_HOME"] = xdg
        r = run([player_program, "--where"], env=env, cwd=work)
        want = f"working {home}/.local/share/valmoren\ndata {top}/share/valmoren\n"
        if r.returncode != 0 or r.stdout.decode() != want:
            problems.append(f"folders chosen with XDG_DATA_HOME={xdg}: {r.stdout.decode()!r} "
                            f"{r.stderr.decode()!r}, not {want!r}")
    made = os.path.join(home, ".local", "share", "valmoren")
    if not os.path.isdir(made) or os.listdir(made):
        problems.append("the player's folder was not made empty on the first start")
    return problems


def headless_game_problems(player_program, top, work):
    """The whole game played headless at the install layout."""
    problems = []
    data = os.path.join(top, "share", "valmoren")
    cwd, home, xdg = (os.path.join(work, n) for n in ("headless-cwd", "headless-home", "headless-xdg"))
    for d in (cwd, home):
        os.makedirs(d)
    player_folder = os.path.join(xdg, "valmoren")
    installed_exit = xsession.read_bmp(os.path.join(data, "img", "exit.bmp"))
    installed_start = xsession.read_bmp(os.path.join(data, "img", "start.bmp"))
    if installed_exit is None or installed_start is None:
        return ["the installed menu buttons cannot be read"]
    write_solid_bmp(os.path.join(player_folder, "img", "exit.bmp"), installed_exit.w, installed_exit.h,
                    EXIT_BUTTON_COLOUR)
    before = xsession.listing(data)
    menu_shot = os.path.join(work, "headless-menu.bmp")
    env = dict(os.environ, HOME=home, XDG_DATA_HOME=xdg)
    # The first start: Options, music off and keyboard on, Save and Exit, Exit.
    # The second start reads those settings and plays the whole game.
    for args, what in ((["options", menu_shot], "the options were not saved and left by Exit"),
                       (["play"], "the game was not won")):
        try:
            r = run([player_program] + args, env=env, cwd=cwd, timeout=400)
        except subprocess.TimeoutExpired:
            problems.append(f"the headless {args[0]} run did not end")
            continue
        log(f"headless {args[0]}: " + r.stdout.decode(errors="replace").strip().replace("\n", ", "))
        if r.returncode != 0:
            problems.append(f"{what} (status {r.returncode}) {r.stderr.decode(errors='replace')[:400]}")

    menu = xsession.read_bmp(menu_shot)
    if menu is None:
        problems.append("no picture of the menu")
    else:
        dropped = xsession.Picture(installed_exit.w, installed_exit.h,
                                   bytes(EXIT_BUTTON_COLOUR) * (installed_exit.w * installed_exit.h))
        for what, picture, y in (("the exit button dropped into the player's img/", dropped, 400),
                                 ("the installed start button", installed_start, 250)):
            if xsession.match_fraction(menu, picture, 270, y) < 1.0:
                problems.append(f"{what} is not drawn at (270, {y})")

    options = xsession.read_bytes(os.path.join(player_folder, "options.dat"))
    if options != b"0\r\n0\r\n0\r\n":
        problems.append(f"options.dat in the player's folder holds {options!r}, not music off, keyboard, window")
    score = (xsession.read_bytes(os.path.join(player_folder, "score.dat")) or b"").split(b"\r\n")
    if len(score) != 4 or score[2] != b"***" or score[3] != b"" or not score[1].strip().isdigit():
        problems.append(f"score.dat in the player's folder is not one won game's three lines: {score!r}")

    # The won game's recording, as the last game and as the best one.
    expected = {"img/", "img/exit.bmp", "options.dat", "score.dat", "replays/", "replays/last.vrec",
                "replays/best.vrec"}
    if set(xsession.listing(player_folder)) != expected:
        problems.append(f"the player's folder holds {sorted(xsession.listing(player_folder))}")
    for name, folder in (("working folder", cwd), ("home folder", home)):
        if os.listdir(folder):
            problems.append(f"the game wrote into the {name}: {os.listdir(folder)}")
    if xsession.listing(data) != before:
        problems.append("the installed data folder changed during the game")
    return problems


def window_problems(program, top, work):
    """The real installed program under Xvfb, the player's folder under HOME."""
    if xsession.skipped():
        return []
    data = os.path.join(top, "share", "valmoren")
    cwd, home = os.path.join(work, "window-cwd"), os.path.join(work, "window-home")
    player_folder = os.path.join(home, ".local", "share", "valmoren")
    installed_exit = xsession.read_bmp(os.path.join(data, "img", "exit.bmp"))
    write_solid_bmp(os.path.join(player_folder, "img", "exit.bmp"), installed_exit.w, installed_exit.h,
                    EXIT_BUTTON_COLOUR)
    dropped = xsession.read_bmp(os.path.join(player_folder, "img", "exit.bmp"))
    pictures = xsession.menu_pictures(data, {"exit": dropped})

    def body(game):
        problems = xsession.reach_menu(game, pictures)
        if problems:
            return problems
        problem = xsession.save_music_off(game, os.path.join(player_folder, "options.dat"))
        if problem:
            problems.append(problem)
        problems += [f"back at the menu: {p}" for p in xsession.menu_back(game, pictures)]
        status = xsession.exit_from_menu(game)
        if status != 0:
            problems.append(f"Exit in the menu ended the installed game with status {status}")
        return problems
    problems = xsession.play_installed(program, data, cwd, home, body, "the installed game")
    if set(xsession.listing(player_folder)) != {"img/", "img/exit.bmp", "options.dat"}:
        problems.append(f"the player's folder holds {sorted(xsession.listing(player_folder))}")
    return problems


def main():
    if len(sys.argv) != 3:
        print("usage: install_test.py BUILD_DIR INSTALLED_PLAYER")
        return 1
    build, player = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    with tempfile.TemporaryDirectory(prefix="valmoren-install-", ignore_cleanup_errors=True) as work:
        destdir = os.path.join(work, "root")
        r = run(["cmake", "--install", build, "--prefix", PREFIX], env=dict(os.environ, DESTDIR=destdir),
                timeout=300)
        if r.returncode != 0:
            log(r.stdout.decode(errors="replace"), r.stderr.decode(errors="replace"))
            return 1
        top = destdir + PREFIX
        program = os.path.join(top, "bin", "valmoren")
        failures = xsession.run_checks([("installed files", lambda: installed_file_problems(build, top))])
        # The headless program sits beside the installed one, as a second program of the install.
        installed_player = os.path.join(top, "bin", "installed-player")
        shutil.copy2(player, installed_player)
        return xsession.run_parts((
            ("validators", lambda: validator_problems(top)),
            ("command line", lambda: command_line_problems(program, project_version(build), work)),
            ("folder choice", lambda: folder_choice_problems(installed_player, top, work)),
            ("headless game", lambda: headless_game_problems(installed_player, top, work)),
            ("window", lambda: window_problems(program, top, work))), failures)


if __name__ == "__main__":
    sys.exit(main())
