# xsession.py -- runs the real game in a window of its own X server (Xvfb):
# starts the server, starts the game from a copy of its run folder, finds its
# window, holds keys, asks the window to close, and reads the window's pixels.
# Used by the window test, the screenshot taker and the pacing measurement.
import ctypes
import ctypes.util
import os
import shutil
import subprocess
import sys
import tempfile
import time

SKIP = 77  # ctest's SKIP_RETURN_CODE for these scripts
# How the game is started in its copied run folder: the Windows checks set
# VALMOREN_GAME_COMMAND to start valmoren.exe under Wine the same way.
GAME_COMMAND = os.environ.get("VALMOREN_GAME_COMMAND", "./valmoren").split()
TOOLS = ("Xvfb", "xdotool", "import")


def missing_tools():
    """Names of the programs and libraries a run needs that are not here."""
    missing = [t for t in TOOLS if shutil.which(t) is None]
    if ctypes.util.find_library("X11") is None:
        missing.append("libX11")
    return missing


class Picture:
    """A screenshot: width, height and rows of (r, g, b) bytes."""

    def __init__(self, w, h, data):
        self.w, self.h, self.data = w, h, data

    def pixel(self, x, y):
        i = (y * self.w + x) * 3
        return self.data[i], self.data[i + 1], self.data[i + 2]


def read_ppm(blob):
    """A binary PPM (P6, 8-bit) as a Picture; None when it is not one."""
    fields, pos = [], 0
    while len(fields) < 4:
        while pos < len(blob) and blob[pos:pos + 1].isspace():
            pos += 1
        if pos < len(blob) and blob[pos:pos + 1] == b"#":
            while pos < len(blob) and blob[pos:pos + 1] != b"\n":
                pos += 1
            continue
        start = pos
        while pos < len(blob) and not blob[pos:pos + 1].isspace():
            pos += 1
        if start == pos:
            return None
        fields.append(blob[start:pos])
    if fields[0] != b"P6" or fields[3] != b"255":
        return None
    w, h = int(fields[1]), int(fields[2])
    data = blob[pos + 1:pos + 1 + w * h * 3]
    if len(data) != w * h * 3:
        return None
    return Picture(w, h, data)


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

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()

    def run(self, *args, timeout=10):
        return subprocess.run(list(args), env=self.env, capture_output=True, timeout=timeout)


class Game:
    """The game running from a temporary copy of its run folder; or, given
    `program` and `cwd`, that program started from that folder as it is."""

    def __init__(self, server, run_folder=None, audio="dummy", extra_env=None, launcher=(),
                 program=None, cwd=None, args=(), options=None):
        self.server = server
        self.folder = tempfile.mkdtemp(prefix="valmoren-x-")
        if program is None:
            self.copy = os.path.join(self.folder, "game")
            shutil.copytree(run_folder, self.copy, symlinks=True)
            for stale in ("options.dat", "score.dat"):
                path = os.path.join(self.copy, stale)
                if os.path.exists(path):
                    os.remove(path)
            if options is not None:  # (music, controls, full screen), each "0" or "1"
                with open(os.path.join(self.copy, "options.dat"), "w", newline="") as f:
                    f.write("".join(o + "\r\n" for o in options))
            program, cwd = GAME_COMMAND[0], self.copy
            args = tuple(GAME_COMMAND[1:]) + tuple(args)
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
        self.x = None  # a connection of our own to the X server, for grab()

    def find_window(self, timeout=30.0):
        """Waits for the game's window; returns its id, or None on timeout or exit."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline and self.proc.poll() is None:
            r = self.server.run("xdotool", "search", "--onlyvisible", "--name", "^Valmoren$")
            ids = r.stdout.split()
            if r.returncode == 0 and ids:
                self.window = ids[0].decode()
                self.window_seen = time.monotonic()
                return self.window
            time.sleep(0.05)
        return None

    def focus_when_shown(self, timeout=30.0):
        """Waits for the first picture the game shows (its renderer may make
        the window anew before that), then finds the window again and gives it
        the keyboard focus, which pads, like keys, need. False on timeout."""
        deadline = time.monotonic() + timeout
        while not self.presents():
            if time.monotonic() > deadline or self.proc.poll() is not None:
                return False
            time.sleep(0.05)
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
        for attempt in (1, 2):
            try:
                r = self.server.run("import", "-window", self.window, "-depth", "8", "ppm:-", timeout=20)
            except subprocess.TimeoutExpired:
                return None
            if r.returncode == 0:
                return read_ppm(r.stdout)
            if attempt == 1 and not self.find_again():
                break
        return None

    def find_again(self):
        """Takes the game's window as it is now, keeping the time it was first
        seen; False when there is none."""
        r = self.server.run("xdotool", "search", "--onlyvisible", "--name", "^Valmoren$")
        ids = r.stdout.split()
        if r.returncode != 0 or not ids or ids[0].decode() == self.window:
            return False
        self.window = ids[0].decode()
        return True

    def grab(self):
        """The window's pixels straight from the X server (much quicker than
        shot()), or None when they cannot be read."""
        if self.x is None:
            self.x = XConnection(self.server.display)
        return self.x.grab(int(self.window, 0))

    def geometry(self):
        """(x, y, width, height) of the window on the screen, or None."""
        if self.x is None:
            self.x = XConnection(self.server.display)
        return self.x.geometry(int(self.window, 0))

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
        return send_close_request(self.server.display, int(self.window, 0))

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

    def finish(self):
        if self.x is not None:
            self.x.close()
            self.x = None
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


class XConnection:
    """A connection to the X server that reads windows' pixels (XGetImage)
    and places; quick enough to follow a game frame by frame."""

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

    def close(self):
        if self.dpy:
            self.x11.XCloseDisplay(self.dpy)
            self.dpy = None


class _ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5)]


class _Event(ctypes.Union):
    _fields_ = [("xclient", _ClientMessage), ("pad", ctypes.c_long * 24)]


def send_close_request(display, window):
    """WM_PROTOCOLS / WM_DELETE_WINDOW to the window, as a window manager's
    close button does. True when the message was sent."""
    x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                               ctypes.POINTER(_Event)]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    dpy = x11.XOpenDisplay(display.encode())
    if not dpy:
        return False
    event = _Event()
    event.xclient.type = 33  # ClientMessage
    event.xclient.display = dpy
    event.xclient.window = window
    event.xclient.message_type = x11.XInternAtom(dpy, b"WM_PROTOCOLS", 0)
    event.xclient.format = 32
    event.xclient.data[0] = x11.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
    event.xclient.data[1] = 0  # CurrentTime
    sent = x11.XSendEvent(dpy, window, 0, 0, ctypes.byref(event)) != 0
    x11.XFlush(dpy)
    x11.XCloseDisplay(dpy)
    return sent


def log(*parts):
    print(*parts, flush=True)
    sys.stdout.flush()


def run_parts(parts):
    """Runs each (name, run) of a test, where run() gives the list of what
    went wrong; logs each part's outcome, then every failure. The exit status."""
    failures = []
    for name, run in parts:
        found = run()
        log(f"{name}: {'ok' if not found else 'FAILED'}")
        failures += [f"{name}: {f}" for f in found]
    for f in failures:
        log(f)
    return 1 if failures else 0
