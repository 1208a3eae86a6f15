#!/usr/bin/env python3
"""Puts the game's page beside the browser program in the web build folder:
index.html with its "about" line (the game's revision and the versions of
the toolchain and the libraries it was built with) and its build id, the
page's script and style, its web app manifest and icons, the offline worker
sw.js with the build id and the list of files it keeps, and a gzip copy of
every text file the page downloads, which the server hands to browsers that
accept it. Prints the versions, the build id and the download size.

The build id is a digest of everything the page is made of, so a rebuild
that changes nothing keeps the players' offline copy and any change replaces
it; --build-id names one instead.

Usage: make_page.py <web build folder> [project folder] [--icons folder]
                    [--build-id id]
  --icons: where icon-192.png and icon-512.png are (assetgen --web-icons);
           by default the ones already in the web build folder.
"""
import argparse
import gzip
import hashlib
import html
import json
import os
import re
import shutil
import subprocess
import sys

# What a player's browser fetches to play, beside the page itself.
PROGRAM = ("valmoren.js", "valmoren.wasm", "valmoren.data")
ICONS = ("icon-192.png", "icon-512.png")
# The page's own files, copied from web/ as they are.
PAGE = ("page.js", "page.css", "manifest.webmanifest")
# Every file the offline worker keeps (sw.js itself is the browser's).
KEPT = ("index.html",) + PAGE + ICONS + PROGRAM
# Served compressed: everything but the pictures, which are compressed already.
PACKED = ("index.html", "sw.js") + PAGE + PROGRAM


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


def about_line(project, deps):
    parts = [f"Valmoren {game_revision(project)}", f"emscripten {emscripten_version()}"]
    parts += [f"{name} {version}" for name, version in library_versions(deps)]
    return " \u00b7 ".join(parts) + " (Debian source packages)"


def write_gzip(path):
    with open(path, "rb") as f:
        data = f.read()
    packed = gzip.compress(data, compresslevel=9, mtime=0)
    with open(path + ".gz", "wb") as f:
        f.write(packed)
    return len(data), len(packed)


def digest(web, names, *texts):
    """The build id: the first 16 hex digits of a SHA-256 over the files and texts."""
    h = hashlib.sha256()
    for name in names:
        h.update(name.encode() + b"\0")
        with open(os.path.join(web, name), "rb") as f:
            for block in iter(lambda: f.read(1 << 20), b""):
                h.update(block)
    for text in texts:
        h.update(text.encode("utf-8") + b"\0")
    return h.hexdigest()[:16]


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("web")
    parser.add_argument("project", nargs="?", default=os.path.join(os.path.dirname(__file__), "..", ".."))
    parser.add_argument("--icons")
    parser.add_argument("--build-id")
    args = parser.parse_args()
    web = os.path.abspath(args.web)
    project = os.path.abspath(args.project)
    source = os.path.join(project, "web")
    missing = [n for n in PROGRAM if not os.path.isfile(os.path.join(web, n))]
    if missing:
        print("make_page.py: the browser program is not built:", ", ".join(missing))
        return 1
    icons = os.path.abspath(args.icons) if args.icons else web
    for name in ICONS:
        if icons != web:
            try:
                shutil.copyfile(os.path.join(icons, name), os.path.join(web, name))
            except OSError as e:
                print(f"make_page.py: no {name} in {icons} (assetgen --web-icons): {e}")
                return 1
        elif not os.path.isfile(os.path.join(web, name)):
            print(f"make_page.py: no {name} in {web}: name the page's icons with --icons")
            return 1
    for name in PAGE:
        shutil.copyfile(os.path.join(source, name), os.path.join(web, name))

    # The web build folder's libraries (a second program's folder inside it
    # shares them).
    deps = os.path.join(web, "deps")
    if not os.path.isdir(deps):
        deps = os.path.join(os.path.dirname(web), "deps")
    about = about_line(project, deps)
    with open(os.path.join(source, "index.html"), encoding="utf-8") as f:
        page = f.read()
    with open(os.path.join(source, "sw.js"), encoding="utf-8") as f:
        worker = f.read()
    build = args.build_id or digest(web, PAGE + ICONS + PROGRAM, about, page, worker)
    if not re.fullmatch(r"[A-Za-z0-9._-]{1,64}", build):
        print(f"make_page.py: a build id is letters, digits, '.', '_' and '-': {build!r}")
        return 2
    with open(os.path.join(web, "index.html"), "w", encoding="utf-8") as f:
        f.write(page.replace("@ABOUT@", html.escape(about)).replace("@BUILD@", build))
    with open(os.path.join(web, "sw.js"), "w", encoding="utf-8") as f:
        f.write(worker.replace("@BUILD@", build).replace("@FILES@", json.dumps(list(KEPT))))

    print("Built with:", about)
    print("Build id:", build)
    plain = packed = 0
    for name in PACKED:
        size, small = write_gzip(os.path.join(web, name))
        if name in PROGRAM:
            plain += size
            packed += small
    print(f"Program and data: {plain / 1e6:.2f} MB, {packed / 1e6:.2f} MB compressed (gzip)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
