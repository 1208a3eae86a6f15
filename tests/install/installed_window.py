# installed_window.py -- shared by the install and package checks: an
# installed game started in a window of its own Xvfb from a working folder of
# the test's choosing, its data folder listed, its icons decoded, and a small
# PNG reader.
import hashlib
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "xvfb"))
import xsession  # noqa: E402
import window_test  # noqa: E402
from xsession import log  # noqa: E402

MENU_PICTURES = ["logo3", "l1", "ball"] + [name for name, _ in window_test.BUTTONS]


def start(server, program, cwd, env):
    """The game with its window up, or None (after printing what it said).
    A start whose window never appears is tried once more, as a busy
    machine may be slow to start it."""
    for attempt in (1, 2):
        game = xsession.Game(server, program=program, cwd=cwd, extra_env=env)
        if game.find_window() is not None:
            return game
        log(f"start {attempt}: no window (status {game.proc.poll()}); it printed:")
        log(game.text_output())
        game.finish()
    return None


def close(server, game, problems):
    """Ends the game (showing what it printed when something was wrong) and
    its X server."""
    if game is not None:
        if problems:
            log(game.text_output())
        game.finish()
    server.stop()


def menu_pictures(data_folder, replaced=None):
    """The pictures the logo and menu checks compare with, read from the
    installed data; `replaced` maps names to pictures a player dropped in."""
    pictures = {n: xsession.read_bmp(os.path.join(data_folder, "img", n + ".bmp")) for n in MENU_PICTURES}
    pictures.update(replaced or {})
    return pictures


def reach_menu(game, pictures):
    """Problems seeing the logo faded in and then the menu; [] when both showed."""
    problems = []
    problem = window_test.poll(game, window_test.logo_problem, 4.0, 6.0, pictures["logo3"])
    if problem:
        problems.append("logo: " + problem)
    problem = window_test.poll(game, window_test.menu_problem, 8.0, 20.0, pictures)
    if problem:
        problems.append("menu: " + problem)
    return problems


def exit_from_menu(game):
    """Down three times to Exit and Enter, as a player leaves; the exit
    status, or None when the game has not ended."""
    for key in ("Down", "Down", "Down", "Return"):
        game.press(key)
    return game.wait_end()


def run_checks(checks):
    """Runs each (name, check) in turn, logging ok or FAILED; every problem
    found, prefixed with its check's name."""
    failures = []
    for name, check in checks:
        found = check()
        log(f"{name}: {'ok' if not found else 'FAILED'}")
        failures += [f"{name}: {f}" for f in found]
    return failures


def read_bytes(path):
    """The file's bytes, or None when it cannot be read."""
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return None


def listing(folder):
    """Every file and folder under `folder` with its size and content hash."""
    found = {}
    for top, dirs, files in os.walk(folder):
        for d in dirs:
            found[os.path.relpath(os.path.join(top, d), folder) + "/"] = None
        for f in files:
            path = os.path.join(top, f)
            with open(path, "rb") as handle:
                found[os.path.relpath(path, folder)] = hashlib.sha256(handle.read()).hexdigest()
    return found


def read_png(path):
    """(width, height, channels, rows of bytes) of an 8-bit RGB or RGBA PNG,
    any filter; None when the file is not one."""
    try:
        with open(path, "rb") as f:
            blob = f.read()
    except OSError:
        return None
    if blob[:8] != b"\x89PNG\r\n\x1a\n":
        return None
    pos, header, data = 8, None, b""
    while pos + 8 <= len(blob):
        length, kind = struct.unpack(">I4s", blob[pos:pos + 8])
        body = blob[pos + 8:pos + 8 + length]
        crc = blob[pos + 8 + length:pos + 12 + length]
        if len(body) != length or len(crc) != 4 or zlib.crc32(kind + body) != struct.unpack(">I", crc)[0]:
            return None
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            data += body
        elif kind == b"IEND":
            break
        pos += 12 + length
    if header is None or header[2] != 8 or header[3] not in (2, 6) or header[6] != 0:
        return None
    w, h, channels = header[0], header[1], 3 if header[3] == 2 else 4
    try:
        raw = zlib.decompress(data)
    except zlib.error:
        return None
    stride = w * channels
    if len(raw) != h * (stride + 1):
        return None
    rows, prev = [], bytearray(stride)
    for y in range(h):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b = prev[i]
            c = prev[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
            elif kind != 0:
                return None
        rows.append(bytes(line))
        prev = line
    return w, h, channels, rows


def icon_problems(path, size):
    """What is wrong with one installed icon: not a PNG of size x size with
    alpha, not transparent in its corners, or too little of the ship's bright
    hull to read at that size."""
    png = read_png(path)
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
