# xsession.py -- the real program's harness: runs the game in a window of its
# own X server (Xvfb): starts the server, starts the game from a copy of its
# run folder (or an installed program from a folder of the test's choosing),
# finds its window, holds keys and pad buttons, asks the window to close,
# reads and measures the window's pixels (the logo and the menu as the game's
# own pictures), and runs a test's checks one after another. Used by the
# window, pad and window-mode tests, the install, package and Wine checks, the
# screenshot taker and the pacing measurement.
import contextlib
import ctypes
import ctypes.util
import hashlib
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zlib

SKIP = 77  # ctest's SKIP_RETURN_CODE for these scripts
# How the game is started in its copied run folder: the Windows checks set
# VALMOREN_GAME_COMMAND to start valmoren.exe under Wine the same way.
GAME_COMMAND = os.environ.get("VALMOREN_GAME_COMMAND", "./valmoren").split()
TOOLS = ("Xvfb", "xdotool", "import")


def missing_tools(extra=()):
    """Names of the programs and libraries a run needs that are not here."""
    missing = [t for t in TOOLS + tuple(extra) if shutil.which(t) is None]
    if ctypes.util.find_library("X11") is None:
        missing.append("libX11")
    return missing


def skipped(extra=()):
    """True, after saying so, when a program or library a run needs is missing."""
    missing = missing_tools(extra)
    if missing:
        log("skipped: not installed:", ", ".join(missing))
    return bool(missing)


class Picture:
    """A screenshot: width, height and rows of (r, g, b) bytes."""

    def __init__(self, w, h, data):
        self.w, self.h, self.data = w, h, data

    def pixel(self, x, y):
        i = (y * self.w + x) * 3
        return self.data[i], self.data[i + 1], self.data[i + 2]


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


def decode_png(path):
    """An RGB PNG file as a Picture; None when it is not one."""
    png = read_png(path)
    return Picture(png[0], png[1], b"".join(png[3])) if png and png[2] == 3 else None


def scaled(page, factor):
    """The picture blown up `factor` times, pixel for pixel."""
    rows = []
    for y in range(page.h):
        row = b"".join(page.data[(y * page.w + x) * 3:(y * page.w + x) * 3 + 3] * factor for x in range(page.w))
        rows.extend([row] * factor)
    return Picture(page.w * factor, page.h * factor, b"".join(rows))


def read_bmp(path):
    """An uncompressed 24-bit BMP of the game's pictures as a Picture (top row
    first); None when the file is missing or not of that kind."""
    try:
        with open(path, "rb") as f:
            blob = f.read()
    except OSError:
        return None
    if len(blob) < 54 or blob[:2] != b"BM":
        return None
    offset = int.from_bytes(blob[10:14], "little")
    w = int.from_bytes(blob[18:22], "little", signed=True)
    h = int.from_bytes(blob[22:26], "little", signed=True)
    bits = int.from_bytes(blob[28:30], "little")
    if bits != 24 or w <= 0 or h == 0:
        return None
    stride = (w * 3 + 3) & ~3
    rows = []
    for r in range(abs(h)):
        src = r if h < 0 else abs(h) - 1 - r
        row = blob[offset + src * stride:offset + src * stride + w * 3]
        if len(row) != w * 3:
            return None
        # BGR to RGB
        out = bytearray(w * 3)
        out[0::3], out[1::3], out[2::3] = row[2::3], row[1::3], row[0::3]
        rows.append(bytes(out))
    return Picture(w, abs(h), b"".join(rows))


class XServer:
    """An Xvfb of its own on a display number the server picks itself."""

    def __init__(self, width=1024, height=768, launcher=()):
        read_end, write_end = os.pipe()
        self.proc = subprocess.Popen(
            list(launcher) + ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{width}x{height}x24",
             "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        with os.fdopen(read_end, "rb") as f:
            number = f.readline().strip()
        if not number:
            self.proc.kill()
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number.decode()
        self.env = dict(os.environ, DISPLAY=self.display)
        self.env.pop("WAYLAND_DISPLAY", None)
        self.x = None  # a connection of our own, for windows' pixels and close requests

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()

    def stop(self):
        if self.x is not None:
            self.x.close()
            self.x = None
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()

    def run(self, *args, timeout=10):
        return subprocess.run(list(args), env=self.env, capture_output=True, timeout=timeout)

    def windows(self, name="^Valmoren$"):
        """The ids of the visible windows of that name, the first made first."""
        r = self.run("xdotool", "search", "--onlyvisible", "--name", name)
        return [w.decode() for w in r.stdout.split()] if r.returncode == 0 else []

    def connection(self):
        if self.x is None:
            self.x = XConnection(self.display)
        return self.x

    def ask_to_close(self, window):
        """Sends the window (an id as xdotool gives it) the close request a
        window manager sends; True when it was sent."""
        return self.connection().close_request(int(window, 0))


class Game:
    """The game running from a temporary copy of its run folder; or, given
    `program` and `cwd`, that program started from that folder as it is."""

    def __init__(self, server, run_folder=None, audio="dummy", extra_env=None, launcher=(),
                 program=None, cwd=None, args=(), options=None):
        self.server = server
        self.folder = tempfile.mkdtemp(prefix="valmoren-x-")
        if run_folder is not None:
            # Another program (the level starter) may be run from the copy too.
            self.copy = cwd = os.path.join(self.folder, "game")
            shutil.copytree(run_folder, self.copy, symlinks=True)
            for stale in ("options.dat", "score.dat"):
                path = os.path.join(self.copy, stale)
                if os.path.exists(path):
                    os.remove(path)
            if options is not None:  # (music, controls, full screen), each "0" or "1"
                with open(os.path.join(self.copy, "options.dat"), "w", newline="") as f:
                    f.write("".join(o + "\r\n" for o in options))
        if program is None:
            program, args = GAME_COMMAND[0], tuple(GAME_COMMAND[1:]) + tuple(args)
        env = dict(server.env, SDL_AUDIODRIVER=audio)
        # In a sanitizer build the window system's libraries keep memory to the
        # end; leak reports would turn the game's exit status into the
        # sanitizer's. The headless suite checks the game's own leaks.
        asan = env.get("ASAN_OPTIONS", "")
        env["ASAN_OPTIONS"] = (asan + ":" if asan else "") + "detect_leaks=0"
        # The window backend's present log: when each frame reached the screen.
        self.frame_log = os.path.join(self.folder, "frames.log")
        env["VALMOREN_FRAME_LOG"] = self.frame_log
        # The window backend's scripted pads: lines appended here are played
        # on SDL virtual joysticks (see sdl_pad_script.cpp).
        self.pad_script = os.path.join(self.folder, "pads.txt")
        open(self.pad_script, "w").close()
        env["VALMOREN_PAD_SCRIPT"] = self.pad_script
        env.update(extra_env or {})
        self.output = open(os.path.join(self.folder, "output.txt"), "wb")
        self.errors = open(os.path.join(self.folder, "errors.txt"), "wb")
        self.started = time.monotonic()
        self.cwd = cwd
        self.proc = subprocess.Popen(list(launcher) + [program] + list(args), cwd=cwd, env=env,
                                     stdout=self.output, stderr=self.errors)
        self.window = None
        self.window_seen = None
        self.log_read = 0  # bytes of the frame log already read
        self.log_entries = []

    def find_window(self, timeout=30.0):
        """Waits for the game's window; returns its id, or None on timeout or exit."""
        ids = wait_for(lambda: self.server.windows() or self.proc.poll() is not None, timeout)
        if not isinstance(ids, list):
            return None
        self.window, self.window_seen = ids[0], time.monotonic()
        return self.window

    def focus_when_shown(self, timeout=30.0):
        """Waits for the first picture the game shows (its renderer may make
        the window anew before that), then finds the window again and gives it
        the keyboard focus, which pads, like keys, need. False on timeout."""
        deadline = time.monotonic() + timeout
        if not wait_for(lambda: self.presents() or self.proc.poll() is not None, timeout) or not self.presents():
            return False
        if self.find_window(max(0.1, deadline - time.monotonic())) is None:
            return False
        self.focus()
        return True

    def presents(self):
        """(time the present was called, corner pixel, centre pixel, ends a
        level frame, time the present call returned) of every frame shown so far. The log is read on from where the last look stopped, so
        that watching it costs the measured machine next to nothing."""
        try:
            with open(self.frame_log, "rb") as f:
                f.seek(self.log_read)
                tail = f.read()
        except OSError:
            return list(self.log_entries)
        end = tail.rfind(b"\n") + 1  # a line still being written waits for the next look
        self.log_read += end
        for line in tail[:end].decode("ascii", "replace").splitlines():
            parts = line.split()
            try:
                if len(parts) == 5:
                    self.log_entries.append((float(parts[0]), int(parts[1], 16), int(parts[2], 16),
                                             parts[3] == "L", float(parts[4])))
            except ValueError:
                pass
        return list(self.log_entries)

    def wait_still(self, still=0.6, timeout=20.0):
        """Waits until no frame has been shown for `still` seconds, as on a
        screen that waits for a key. False on timeout or when the game ended."""
        deadline = time.monotonic() + timeout
        count, since = len(self.presents()), time.monotonic()
        while time.monotonic() < deadline and self.proc.poll() is None:
            time.sleep(0.1)
            now_count = len(self.presents())
            if now_count != count:
                count, since = now_count, time.monotonic()
            elif time.monotonic() - since >= still:
                return True
        return False

    def start_first_level(self):
        """From the main menu: Start, then a key on each of the two opening
        story slides once it is up. Level 1's get-ready overlay follows."""
        self.press("Return")
        return self.start_level_again()

    def start_level_again(self):
        """A key on each of the two opening story slides once it is up (a new
        game after Start or after Y at the game-over question)."""
        for _ in range(2):
            if not self.wait_still():
                return False
            self.press("Return")
        return True

    def since_window(self):
        return time.monotonic() - self.window_seen

    def shot(self):
        """The window's pixels, or None when they cannot be read. A window
        that is gone (made anew by the game) is looked for once more."""
        picture = self.grab()
        if picture is None and self.find_again():
            picture = self.grab()
        return picture

    def find_again(self):
        """Takes the game's window as it is now, keeping the time it was first
        seen; False when there is none."""
        ids = self.server.windows()
        if not ids or ids[0] == self.window:
            return False
        self.window = ids[0]
        return True

    def grab(self):
        """The window's pixels straight from the X server, or None when they
        cannot be read."""
        return self.server.connection().grab(int(self.window, 0))

    def geometry(self):
        """(x, y, width, height) of the window on the screen, or None."""
        return self.server.connection().geometry(int(self.window, 0))

    def wait_for_size(self, size, timeout=5.0):
        """The window's place once it has that (width, height), or as it is at
        the timeout; a window the game made anew is followed."""
        def sized():
            self.find_again()
            return (self.geometry() or ())[2:] == size
        wait_for(sized, timeout, 0.2)
        return self.geometry()

    def screenshots(self):
        """The files F12 has written so far into the copied run folder's screenshots/."""
        folder = os.path.join(self.copy, "screenshots")
        try:
            return sorted(os.path.join(folder, n) for n in os.listdir(folder))
        except OSError:
            return []

    def take_screenshot(self):
        """F12, then the picture it wrote (None when no new file came)."""
        before = set(self.screenshots())
        self.press("F12", hold=0.05, gap=0.05)
        new = wait_for(lambda: [f for f in self.screenshots() if f not in before], 10)
        return wait_for(lambda: decode_png(new[0]), 5) if new else None  # once written whole

    def pad(self, *lines):
        """Appends lines to the pad script (attach N, button N NAME 0|1, ...)."""
        with open(self.pad_script, "a") as f:
            f.write("".join(line + "\n" for line in lines))

    def pad_press(self, button, hold=0.2, gap=0.25, pad=0):
        """Holds a pad button long enough for a frame that waits on key
        presses to see it held, then lets go."""
        self.pad(f"button {pad} {button} 1")
        time.sleep(hold)
        self.pad(f"button {pad} {button} 0")
        time.sleep(gap)

    def save_png(self, path):
        r = self.server.run("import", "-window", self.window, "png:" + path, timeout=20)
        return r.returncode == 0

    def focus(self):
        self.server.run("xdotool", "windowfocus", self.window)

    def press(self, key, hold=0.2, gap=0.2):
        """Holds a key long enough for a frame that waits on key presses to
        see it held, then lets go."""
        self.focus()
        self.server.run("xdotool", "keydown", key)
        time.sleep(hold)
        self.server.run("xdotool", "keyup", key)
        time.sleep(gap)

    def ask_to_close(self):
        """Sends the window the close request a window manager sends."""
        return self.server.ask_to_close(self.window)

    def close_window(self, failures, what="the game"):
        """Closes the window as a window manager would and expects the program
        to end with status 0; what goes wrong is added to `failures`."""
        if not self.ask_to_close():
            failures.append("could not send the close request")
        status = self.wait_end()
        if status != 0:
            failures.append(f"closing the window ended {what} with status {status}, not 0")

    def wait_end(self, timeout=20.0):
        """The exit status, or None when the game is still running at the timeout."""
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def peak_memory_kb(self):
        """The game's peak resident memory so far (VmHWM), or None."""
        try:
            with open(f"/proc/{self.proc.pid}/status") as f:
                for line in f:
                    if line.startswith("VmHWM:"):
                        return int(line.split()[1])
        except OSError:
            pass
        return None

    def text_output(self):
        """What the game wrote on standard output and standard error."""
        return self.standard_output() + self.error_output()

    def standard_output(self):
        self.output.flush()
        with open(os.path.join(self.folder, "output.txt"), "rb") as f:
            return f.read().decode(errors="replace")

    def error_output(self):
        self.errors.flush()
        with open(os.path.join(self.folder, "errors.txt"), "rb") as f:
            return f.read().decode(errors="replace")

    def recording_problems(self, keep_as, recorded="replays/last.vrec"):
        """The game just played was recorded into `recorded` (replays/last.vrec
        unless it was started with --record): --check
        plays it back to the same end (status 0, "as recorded") and --play
        shows it in a window until Esc is held, ending with status 0, and
        neither writes a file. With VALMOREN_KEEP_RECORDINGS naming a folder
        the recording is kept there as `keep_as` (tools/replay-digests.sh
        --recordings). What went wrong, as a list."""
        last = os.path.join(self.cwd, recorded)
        if not os.path.isfile(last):
            return [f"no {recorded} after the game"]
        keep = os.environ.get("VALMOREN_KEEP_RECORDINGS")
        if keep:
            shutil.copyfile(last, os.path.join(keep, keep_as))
        problems = []
        files = sorted(os.listdir(self.cwd)), open(last, "rb").read()
        checked = subprocess.run(GAME_COMMAND + ["--check", recorded], cwd=self.cwd,
                                 env=dict(self.server.env, SDL_AUDIODRIVER="dummy"), capture_output=True,
                                 timeout=120)
        out = checked.stdout.decode(errors="replace").replace("\r\n", "\n")
        log("--check of the game's recording:", out.strip(), checked.stderr.decode(errors="replace").strip())
        if checked.returncode != 0 or not out.endswith(": as recorded\n"):
            problems.append(f"--check of the game's recording: status {checked.returncode}: {out.strip()}")
        shown = Game(self.server, program=GAME_COMMAND[0], cwd=self.cwd,
                     args=tuple(GAME_COMMAND[1:]) + ("--play", recorded))
        try:
            if shown.find_window() is None or not shown.focus_when_shown():
                problems.append("--play: no window")
            elif not wait_until(lambda: sum(1 for e in shown.presents() if e[3]) > 60, 30.0, shown):
                problems.append("--play: no level frames shown")
            else:
                shown.press("Escape", hold=1.5)
                status = shown.wait_end()
                if status != 0:
                    problems.append(f"--play: Esc held for a second ended it with status {status}, not 0")
        finally:
            if problems:
                log(shown.text_output())
            shown.finish()
        if (sorted(os.listdir(self.cwd)), open(last, "rb").read()) != files:
            problems.append("a playback wrote into the game's folder")
        return problems

    def finish(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        self.output.close()
        self.errors.close()
        shutil.rmtree(self.folder, ignore_errors=True)


class _XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p), ("byte_order", ctypes.c_int),
                ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int),
                ("bitmap_pad", ctypes.c_int), ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                ("bits_per_pixel", ctypes.c_int), ("red_mask", ctypes.c_ulong),
                ("green_mask", ctypes.c_ulong), ("blue_mask", ctypes.c_ulong),
                ("obdata", ctypes.c_void_p), ("f", ctypes.c_void_p * 6)]


class _XWindowAttributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int),
                ("height", ctypes.c_int), ("border_width", ctypes.c_int), ("depth", ctypes.c_int),
                ("rest", ctypes.c_char * 256)]


class _ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5)]


class _Event(ctypes.Union):
    _fields_ = [("xclient", _ClientMessage), ("pad", ctypes.c_long * 24)]


class XConnection:
    """A connection to the X server that reads windows' pixels (XGetImage)
    and places, quick enough to follow a game frame by frame, and sends them
    the close request."""

    def __init__(self, display):
        self.x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x11.XGetImage.restype = ctypes.POINTER(_XImage)
        self.x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                       ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        self.x11.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                                  ctypes.POINTER(_XWindowAttributes)]
        self.x11.XTranslateCoordinates.argtypes = [
            ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
            ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_ulong)]
        self.x11.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.x11.XInternAtom.restype = ctypes.c_ulong
        self.x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        self.x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                        ctypes.POINTER(_Event)]
        self.x11.XFlush.argtypes = [ctypes.c_void_p]
        self.x11.XSetErrorHandler.restype = ctypes.c_void_p
        # A window that has just gone away must not end the test's process.
        self._on_error = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(lambda d, e: 0)
        self.x11.XSetErrorHandler(self._on_error)
        self.dpy = self.x11.XOpenDisplay(display.encode())

    def geometry(self, window):
        attributes = _XWindowAttributes()
        if not self.dpy or not self.x11.XGetWindowAttributes(self.dpy, window, ctypes.byref(attributes)):
            return None
        x, y, child = ctypes.c_int(), ctypes.c_int(), ctypes.c_ulong()
        self.x11.XTranslateCoordinates(self.dpy, window, self.x11.XDefaultRootWindow(self.dpy), 0, 0,
                                       ctypes.byref(x), ctypes.byref(y), ctypes.byref(child))
        return x.value, y.value, attributes.width, attributes.height

    def grab(self, window):
        place = self.geometry(window)
        if place is None:
            return None
        w, h = place[2], place[3]
        image = self.x11.XGetImage(self.dpy, window, 0, 0, w, h, 0xFFFFFFFF, 2)  # ZPixmap
        if not image:
            return None
        try:
            im = image.contents
            if im.bits_per_pixel != 32:
                return None
            raw = ctypes.string_at(im.data, im.bytes_per_line * h)
            rows = [raw[r * im.bytes_per_line:r * im.bytes_per_line + w * 4] for r in range(h)]
            bgrx = b"".join(rows)
            rgb = bytearray(w * h * 3)
            rgb[0::3], rgb[1::3], rgb[2::3] = bgrx[2::4], bgrx[1::4], bgrx[0::4]
            return Picture(w, h, bytes(rgb))
        finally:
            destroy = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.POINTER(_XImage))(image.contents.f[1])
            destroy(image)

    def close_request(self, window):
        """WM_PROTOCOLS / WM_DELETE_WINDOW to the window, as a window manager's
        close button does. True when the message was sent."""
        if not self.dpy:
            return False
        event = _Event()
        event.xclient.type = 33  # ClientMessage
        event.xclient.display = self.dpy
        event.xclient.window = window
        event.xclient.message_type = self.x11.XInternAtom(self.dpy, b"WM_PROTOCOLS", 0)
        event.xclient.format = 32
        event.xclient.data[0] = self.x11.XInternAtom(self.dpy, b"WM_DELETE_WINDOW", 0)
        event.xclient.data[1] = 0  # CurrentTime
        sent = self.x11.XSendEvent(self.dpy, window, 0, 0, ctypes.byref(event)) != 0
        self.x11.XFlush(self.dpy)
        return sent

    def close(self):
        if self.dpy:
            self.x11.XCloseDisplay(self.dpy)
            self.dpy = None


def wait_for(check, timeout, every=0.05):
    """Asks check() until its answer is true or `timeout` seconds have passed;
    the last answer."""
    deadline = time.monotonic() + timeout
    while True:
        answer = check()
        if answer or time.monotonic() >= deadline:
            return answer
        time.sleep(every)


def wait_until(check, timeout, game=None):
    """Waits for check() to come true; False on timeout or when the game ended."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline and (game is None or game.proc.poll() is None):
        if check():
            return True
        time.sleep(0.05)
    return False


def log(*parts):
    print(*parts, flush=True)
    sys.stdout.flush()


def run_checks(checks):
    """Runs each (name, check) in turn, where check() gives the list of what
    went wrong, logging ok or FAILED; every problem found, prefixed with its
    check's name."""
    failures = []
    for name, check in checks:
        found = check()
        log(f"{name}: {'ok' if not found else 'FAILED'}")
        failures += [f"{name}: {f}" for f in found]
    return failures


def run_parts(parts, earlier=()):
    """run_checks, then every failure (with those of `earlier` checks) logged;
    the exit status."""
    failures = list(earlier) + run_checks(parts)
    for f in failures:
        log(f)
    return 1 if failures else 0


def main(usage, run, tools=()):
    """A window check's start and end: `usage` names the script and its
    arguments, the first of them the run folder (or data folder) whose menu
    pictures are read; the exit status of run(pictures, *arguments as
    absolute paths), or 1 for a wrong call or pictures that cannot be read,
    or SKIP when a program the check needs (besides TOOLS: `tools`) is missing."""
    if len(sys.argv) != 1 + usage.count("<"):
        log("usage:", usage)
        return 1
    arguments = [os.path.abspath(a) for a in sys.argv[1:]]
    if skipped(tools):
        return SKIP
    pictures = menu_pictures(arguments[0])
    if pictures is None:
        log("cannot read the logo's and the menu's pictures in", arguments[0])
        return 1
    return run(pictures, *arguments)


def read_bytes(path):
    """The file's bytes, or None when it cannot be read."""
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return None


def listing(folder):
    """Every file and folder under `folder` with its content hash (folders: None)."""
    found = {}
    for top, dirs, files in os.walk(folder):
        for d in dirs:
            found[os.path.relpath(os.path.join(top, d), folder) + "/"] = None
        for f in files:
            path = os.path.join(top, f)
            with open(path, "rb") as handle:
                found[os.path.relpath(path, folder)] = hashlib.sha256(handle.read()).hexdigest()
    return found


# ---------------------------------------------------------------- the screens

KEY = (255, 0, 255)
LOGO_AT = (180, 140)
BUTTONS = (("start", 250), ("options", 300), ("credits", 350), ("exit", 400))
MENU_PICTURES = ["logo3", "l1", "ball"] + [name for name, _ in BUTTONS]


def menu_pictures(data_folder, replaced=None):
    """The pictures the logo and menu checks compare with, read from a data
    folder's img/; `replaced` maps names to pictures a player dropped in.
    None when one cannot be read."""
    pictures = {n: read_bmp(os.path.join(data_folder, "img", n + ".bmp")) for n in MENU_PICTURES}
    pictures.update(replaced or {})
    return None if any(p is None for p in pictures.values()) else pictures


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
    strip = Picture(240, left.h, b"".join(left.data[y * left.w * 3:(y * left.w + 240) * 3] for y in range(left.h)))
    if match_fraction(shot, strip, 0, 0) < 0.98:
        return "the left half of the background is not l1.bmp"
    for name, y in BUTTONS:
        if match_fraction(shot, pictures[name], 270, y) < 0.98:
            return f"the {name} button is not at (270, {y})"
    if match_fraction(shot, pictures["ball"], 250, cursor + 5) < 0.98:
        return f"the ball is not beside the button at y {cursor}"
    return None


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


def reach_menu(game, pictures, logo=True, first=8.0, within=12.0):
    """Problems seeing the logo faded in (when `logo`) and then the menu, from
    `first` to `first` + `within` seconds after the window appeared; [] when
    both showed."""
    if pictures is None:
        return ["the menu's pictures cannot be read"]
    problems = []
    problem = logo and poll(game, logo_problem, 4.0, 6.0, pictures["logo3"])
    if problem:
        problems.append("logo: " + problem)
    problem = poll(game, menu_problem, first, first + within, pictures)
    if problem:
        problems.append("menu: " + problem)
    return problems


def menu_back(game, pictures, cursor=250, within=5.0):
    """Problems seeing the menu again (with the ball at `cursor`) within `within` seconds."""
    problem = poll(game, menu_problem, 0, game.since_window() + within, pictures, cursor)
    return ["menu: " + problem] if problem else []


def save_music_off(game, options_path):
    """From the menu with the ball on Start: Options, Enter on Music (off),
    Down three times to Save and Exit, Enter, each key once the screen waits
    for it. None when `options_path` then holds the music off, the mouse and
    the window in CR LF lines; otherwise what it holds."""
    for key in ("Down", "Return", "Return", "Down", "Down", "Down", "Return"):
        game.press(key)
        game.wait_still(still=0.4)
    saved = read_bytes(options_path)
    return None if saved == b"0\r\n1\r\n0\r\n" else f"after Save and Exit {options_path} holds {saved!r}"


def exit_from_menu(game):
    """Down three times to Exit and Enter, as a player leaves; the exit
    status, or None when the game has not ended."""
    for key in ("Down", "Down", "Down", "Return"):
        game.press(key)
    return game.wait_end()


def start(server, run_folder=None, audio="dummy", **game_args):
    """The game (or the program `game_args` name, as Game takes them) with its
    window up, or None. A start whose window never appeared is reported with
    what the game printed and tried once more, so a passing hiccup of a busy
    machine is not taken for a fault of the game."""
    for attempt in (1, 2):
        game = Game(server, run_folder, audio, **game_args)
        if game.find_window() is not None:
            return game
        log(f"start {attempt}: no window (game status {game.proc.poll()}); it printed:")
        log(game.text_output())
        game.finish()
    return None


def play_installed(program, data, cwd, home, body, what):
    """play() of an installed `program` (its data in `data`) started from the
    empty folder `cwd`, with HOME at `home` and no XDG_DATA_HOME, so that its
    player's folder is under `home`; what went wrong, with any file it wrote
    into its working folder or its data folder."""
    os.makedirs(cwd)
    os.makedirs(home, exist_ok=True)
    before = listing(data)
    with XServer() as server:
        problems = play(server, body, program=program, cwd=cwd, extra_env={"HOME": home, "XDG_DATA_HOME": ""},
                        what=what)
    if os.listdir(cwd):
        problems.append(f"{what} wrote into its working folder: {os.listdir(cwd)}")
    if listing(data) != before:
        problems.append(f"{what} changed its data folder")
    return problems


@contextlib.contextmanager
def playing(game, failures):
    """For a `with` block over a started game: what it printed is logged when
    `failures` holds something at the end (or the block failed), and the game
    is ended."""
    ok = False
    try:
        yield game
        ok = True
    finally:
        if failures or not ok:
            log(game.text_output())
        game.finish()


def play(server, body, *start_args, what="the game", **start_kw):
    """Starts the game as start() does and runs body(game), which gives the list
    of what went wrong; that list (or that the window never appeared), after
    the game has been ended."""
    game = start(server, *start_args, **start_kw)
    if game is None:
        return [f"{what}'s window did not appear"]
    failures = []
    with playing(game, failures):
        failures += body(game)
    return failures
