#!/usr/bin/env python3
"""Serves the web build on the loopback address (127.0.0.1 only) and prints
the address. A browser that accepts gzip gets the .gz copy of a file that has
one, so the program and its data travel compressed. Nothing is cached for
long: a rebuilt game is picked up by the next load. The page is served
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
}


class Handler(http.server.SimpleHTTPRequestHandler):
    def send_head(self):
        path = self.translate_path(self.path)
        if os.path.isdir(path):
            path = os.path.join(path, "index.html")
        packed = path + ".gz"
        accepts = "gzip" in self.headers.get("Accept-Encoding", "")
        if not accepts or not os.path.isfile(packed) or not os.path.isfile(path):
            return super().send_head()
        try:
            f = open(packed, "rb")
        except OSError:
            return super().send_head()
        size = os.fstat(f.fileno()).st_size
        self.send_response(200)
        self.send_header("Content-Type", self.guess_type(path))
        self.send_header("Content-Encoding", "gzip")
        self.send_header("Content-Length", str(size))
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
