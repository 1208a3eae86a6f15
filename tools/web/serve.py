#!/usr/bin/env python3
"""Serves the game's site (make_page.py's <web build folder>/site) on the
loopback address (127.0.0.1 only) and prints the address. A browser that
accepts Brotli gets the .br copy of a file that has one, one that accepts
gzip the .gz copy, so the program and its data travel compressed. Nothing
is cached for long: a rebuilt game is picked up by the next load, and a file the browser already holds is only
revalidated (its ETag), so the offline worker's copy of the first visit's
files costs no second download. The page is served isolated from other
origins, for the browser's fine clock.

Only the folder's own files are served: no folder listings, nothing reached
through a link that leads out of the folder, and no request whose Host is
not the loopback address (a page elsewhere cannot reach the server through
a name of its own that points here).

Usage: serve.py <site folder> [port] [--pretty-urls]
  port: 0, the default, lets the system choose a free one (`make web-serve`
        uses 8000).
  --pretty-urls: answers index.html with a redirect (308) to its folder's
        address, as hosts with "pretty URLs" do (the browser test's).
"""
import argparse
import functools
import http.server
import os
import sys
import urllib.parse

TYPES = {
    ".html": "text/html; charset=utf-8",
    ".js": "text/javascript; charset=utf-8",
    ".css": "text/css; charset=utf-8",
    ".wasm": "application/wasm",
    ".data": "application/octet-stream",
    ".webmanifest": "application/manifest+json",
    ".png": "image/png",
    ".txt": "text/plain; charset=utf-8",
    ".gz": "application/gzip",
}
LOOPBACK = ("127.0.0.1", "localhost", "[::1]")


def accepts(header, codings):
    """Whether an Accept-Encoding header takes the coding (the first of
    `codings` named, its other names, or, when none is named, "*") with a
    quality above 0."""
    qualities = {}
    for item in header.split(","):
        coding, _, params = item.partition(";")
        quality = 1.0
        for param in params.split(";"):
            key, _, value = param.partition("=")
            if key.strip().lower() == "q":
                try:
                    quality = float(value)
                except ValueError:
                    quality = 0.0
        qualities[coding.strip().lower()] = quality
    for coding in codings + ("*",):
        if coding in qualities:
            return qualities[coding] > 0
    return False


# The compressed copies a file may have beside it, the better first: the
# name's ending, the coding's names in Accept-Encoding.
COPIES = ((".br", "br", ("br",)), (".gz", "gzip", ("gzip", "x-gzip")))


class Handler(http.server.SimpleHTTPRequestHandler):
    pretty_urls = False
    # HTTP/1.1 (kept-alive connections, every answer with its length):
    # Chromium revalidates an HTTP/1.1 answer from its cache, but fetches an
    # HTTP/1.0 one whole again, so the offline worker's copy of what the page
    # has just downloaded would come down a second time.
    protocol_version = "HTTP/1.1"

    def host_allowed(self):
        host = self.headers.get("Host", "")
        name = host.rsplit(":", 1)[0] if not host.endswith("]") else host
        return name.lower() in LOOPBACK

    def send_head(self):
        if not self.host_allowed():
            self.send_error(421, "Only the loopback address is served")
            return None
        address = urllib.parse.urlsplit(self.path)
        if self.pretty_urls and address.path.endswith("/index.html"):
            self.send_response(308)
            where = address.path[: -len("index.html")]
            self.send_header("Location", where + ("?" + address.query if address.query else ""))
            self.send_header("Content-Length", "0")
            self.end_headers()
            return None
        path = self.translate_path(self.path)
        root = os.path.realpath(self.directory)
        real = os.path.realpath(path)
        if real != root and not real.startswith(root + os.sep):
            self.send_error(404, "File not found")
            return None
        if os.path.isdir(path):
            if not address.path.endswith("/"):
                return super().send_head()  # the redirect to the folder's address
            path = os.path.join(path, "index.html")
        if not os.path.isfile(path) or not os.path.realpath(path).startswith(root + os.sep):
            self.send_error(404, "File not found")
            return None
        wanted = self.headers.get("Accept-Encoding", "")
        coding, served = None, path
        for ending, name, names in COPIES:
            copy = path + ending
            if (accepts(wanted, names) and os.path.isfile(copy)
                    and os.path.realpath(copy).startswith(root + os.sep)):
                coding, served = name, copy
                break
        try:
            f = open(served, "rb")
        except OSError:
            self.send_error(404, "File not found")
            return None
        stat = os.fstat(f.fileno())
        tag = f'"{stat.st_mtime_ns:x}-{stat.st_size:x}{"-" + coding if coding else ""}"'
        if tag in [t.strip() for t in self.headers.get("If-None-Match", "").split(",")]:
            f.close()
            self.send_response(304)
            self.send_header("ETag", tag)
            self.end_headers()
            return None
        self.send_response(200)
        self.send_header("Content-Type", self.guess_type(path))
        if coding:
            self.send_header("Content-Encoding", coding)
        self.send_header("Content-Length", str(stat.st_size))
        self.send_header("Vary", "Accept-Encoding")
        self.send_header("ETag", tag)
        self.end_headers()
        return f

    def list_directory(self, path):
        self.send_error(404, "File not found")
        return None

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


class Server(http.server.ThreadingHTTPServer):
    def handle_error(self, request, client_address):
        # A browser that drops a connection it no longer wants (a page left,
        # a request it gave up) is no error of the server's.
        if isinstance(sys.exc_info()[1], ConnectionError):
            return
        super().handle_error(request, client_address)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("folder")
    parser.add_argument("port", nargs="?", type=int, default=0)
    parser.add_argument("--pretty-urls", action="store_true")
    args = parser.parse_args()
    folder = os.path.abspath(args.folder)
    if not os.path.isfile(os.path.join(folder, "index.html")):
        print(f"serve.py: no page in {folder}: run `make web` first")
        return 1
    handler = functools.partial(type("SiteHandler", (Handler,), {"pretty_urls": args.pretty_urls}), directory=folder)
    server = Server(("127.0.0.1", args.port), handler)
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
