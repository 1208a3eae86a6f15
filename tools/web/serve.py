#!/usr/bin/env python3
"""Serves the web build on the loopback address (127.0.0.1 only) and prints
the address. A browser that accepts gzip gets the .gz copy of a file that has
one, so the program and its data travel compressed. Nothing is cached for
long: a rebuilt game is picked up by the next load, and a file the browser
already holds is only revalidated (its ETag), so the offline worker's copy of
the first visit's files costs no second download. The page is served
isolated from other origins, for the browser's fine clock.

Usage: serve.py <web build folder> [port]   (port 0, the default when
VALMOREN_WEB_PORT is unset, lets the system choose a free one; `make
web-serve` uses 8000)
"""
import functools
import http.server
import os
import sys

TYPES = {
    ".html": "text/html; charset=utf-8",
    ".js": "text/javascript; charset=utf-8",
    ".css": "text/css; charset=utf-8",
    ".wasm": "application/wasm",
    ".data": "application/octet-stream",
    ".webmanifest": "application/manifest+json",
    ".png": "image/png",
}


class Handler(http.server.SimpleHTTPRequestHandler):
    def send_head(self):
        path = self.translate_path(self.path)
        if os.path.isdir(path):
            if not self.path.split("?", 1)[0].endswith("/"):
                return super().send_head()  # the redirect to the folder's address
            path = os.path.join(path, "index.html")
        if not os.path.isfile(path):
            return super().send_head()
        packed = path + ".gz"
        gzipped = "gzip" in self.headers.get("Accept-Encoding", "") and os.path.isfile(packed)
        try:
            f = open(packed if gzipped else path, "rb")
        except OSError:
            return super().send_head()
        stat = os.fstat(f.fileno())
        tag = f'"{stat.st_mtime_ns:x}-{stat.st_size:x}{"-gz" if gzipped else ""}"'
        if tag in [t.strip() for t in self.headers.get("If-None-Match", "").split(",")]:
            f.close()
            self.send_response(304)
            self.send_header("ETag", tag)
            self.end_headers()
            return None
        self.send_response(200)
        self.send_header("Content-Type", self.guess_type(path))
        if gzipped:
            self.send_header("Content-Encoding", "gzip")
        self.send_header("Content-Length", str(stat.st_size))
        self.send_header("Vary", "Accept-Encoding")
        self.send_header("ETag", tag)
        self.end_headers()
        return f

    def guess_type(self, path):
        return TYPES.get(os.path.splitext(path)[1], super().guess_type(path))

    def end_headers(self):
        self.send_header("Cache-Control", "no-cache")
        # A page isolated from other origins gets the browser's fine clock
        # (performance.now to a few microseconds rather than a tenth of a
        # millisecond), which the game's frame pacing reads.
        self.send_header("Cross-Origin-Opener-Policy", "same-origin")
        self.send_header("Cross-Origin-Embedder-Policy", "require-corp")
        super().end_headers()

    def log_message(self, format, *args):
        if os.environ.get("VALMOREN_WEB_QUIET") != "1":
            super().log_message(format, *args)


def main():
    if len(sys.argv) not in (2, 3):
        print(__doc__)
        return 2
    folder = os.path.abspath(sys.argv[1])
    if not os.path.isfile(os.path.join(folder, "index.html")):
        print(f"serve.py: no page in {folder}: run `make web` first")
        return 1
    port = int(sys.argv[2]) if len(sys.argv) == 3 else 0
    handler = functools.partial(Handler, directory=folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", port), handler)
    print(f"Serving {folder} at http://127.0.0.1:{server.server_address[1]}/ (Ctrl+C stops)", flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
