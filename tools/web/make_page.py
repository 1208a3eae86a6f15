#!/usr/bin/env python3
"""Puts the game's page beside the browser program in the web build folder:
index.html with its "about" line (the game's revision and the versions of
the toolchain and the libraries it was built with), the page's script and
style, and a gzip copy of every file the page downloads, which the server
hands to browsers that accept it. Prints the versions and the download size.

Usage: make_page.py <web build folder> [project folder]
"""
import gzip
import html
import os
import re
import shutil
import subprocess
import sys

SERVED = ("index.html", "page.js", "page.css", "valmoren.js", "valmoren.wasm", "valmoren.data")
# What a player's browser fetches to play, beside the page itself.
PROGRAM = ("valmoren.js", "valmoren.wasm", "valmoren.data")


def command_output(args, cwd=None):
    try:
        return subprocess.run(args, cwd=cwd, capture_output=True, text=True, timeout=60).stdout
    except (OSError, subprocess.SubprocessError):
        return ""


def emscripten_version():
    first = command_output(["emcc", "--version"]).splitlines()[:1]
    found = re.search(r"\b(\d+\.\d+\.\d+)\b", first[0]) if first else None
    return found.group(1) if found else "unknown"


def library_versions(deps):
    """(name, Debian version) of each library built for the browser, from the
    stamps the library build leaves."""
    out = []
    for name, package in (("SDL2", "libsdl2"), ("libogg", "libogg"), ("libvorbis", "libvorbis")):
        try:
            with open(os.path.join(deps, "prefix", ".stamp-" + package)) as f:
                out.append((name, f.read().strip()))
        except OSError:
            out.append((name, "unknown"))
    return out


def game_revision(project):
    rev = command_output(["git", "describe", "--always", "--dirty"], cwd=project).strip()
    return rev or "unknown"


def about_line(project, web):
    parts = [f"Valmoren {game_revision(project)}", f"emscripten {emscripten_version()}"]
    parts += [f"{name} {version}" for name, version in library_versions(os.path.join(web, "deps"))]
    return " \u00b7 ".join(parts) + " (Debian source packages)"


def write_gzip(path):
    with open(path, "rb") as f:
        data = f.read()
    packed = gzip.compress(data, compresslevel=9, mtime=0)
    with open(path + ".gz", "wb") as f:
        f.write(packed)
    return len(data), len(packed)


def main():
    if len(sys.argv) not in (2, 3):
        print(__doc__)
        return 2
    web = os.path.abspath(sys.argv[1])
    project = os.path.abspath(sys.argv[2] if len(sys.argv) == 3 else os.path.join(os.path.dirname(__file__), "..", ".."))
    source = os.path.join(project, "web")
    missing = [n for n in PROGRAM if not os.path.isfile(os.path.join(web, n))]
    if missing:
        print("make_page.py: the browser program is not built:", ", ".join(missing))
        return 1
    about = about_line(project, web)
    with open(os.path.join(source, "index.html"), encoding="utf-8") as f:
        page = f.read()
    with open(os.path.join(web, "index.html"), "w", encoding="utf-8") as f:
        f.write(page.replace("@ABOUT@", html.escape(about)))
    for name in ("page.js", "page.css"):
        shutil.copyfile(os.path.join(source, name), os.path.join(web, name))
    print("Built with:", about)
    plain = packed = 0
    for name in SERVED:
        size, small = write_gzip(os.path.join(web, name))
        if name in PROGRAM:
            plain += size
            packed += small
    print(f"Program and data: {plain / 1e6:.2f} MB, {packed / 1e6:.2f} MB compressed (gzip)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
