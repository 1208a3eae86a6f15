#!/usr/bin/env python3
"""Makes the game's site from the browser program in the web build folder:
<web build folder>/site/ holds everything a host serves, and nothing else.
There: index.html with its "about" line (the game's revision and the
versions of the toolchain and the libraries it was built with) and its
build id; the offline worker sw.js with the build id and the list of files
it keeps; and every other file under a name that carries the first 16 hex
digits of its content's SHA-256 (valmoren.<hash>.wasm, page.<hash>.js, ...):
the program, its data, the page's script and style, its web app manifest
and icons. The page names those files (and tells the program where its
.wasm and .data are), so a page can only ever load the files of its own
build, and a file can be cached for ever under its name. A gzip copy of
every text file the page downloads sits beside it, for a server that hands
them to browsers that accept gzip. Prints the versions, the build id and
the download size.

This is the one place that knows the build's set of files.

The build id is a digest of what the page is built of: the files' contents,
the page's and the worker's sources, the versions of the toolchain and the
libraries. The revision is not part of it, so a commit that changes only
documents keeps the players' offline copy, and any change to the game or
the page replaces it; --build-id names one instead.

Usage: make_page.py <web build folder> [project folder] [--icons folder]
                    [--build-id id] [--revision text]
  --icons: where icon-192.png, icon-512.png and icon-maskable-512.png are
           (assetgen --web-icons); by default the web build folder.
  --revision: the about line's revision instead of `git describe`'s.
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

# The program, as the browser build writes it into the web build folder.
PROGRAM = ("valmoren.js", "valmoren.wasm", "valmoren.data")
ICONS = ("icon-192.png", "icon-512.png", "icon-maskable-512.png")
# The page's own files, copied from web/ (the manifest with its icons' names).
PAGE = ("page.js", "page.css")
MANIFEST = "manifest.webmanifest"
# Where the site is written, inside the web build folder.
SITE = "site"
# Compressed already: no gzip copy.
PACKED_ALREADY = (".png",)


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


def toolchain_line(deps):
    parts = [f"emscripten {emscripten_version()}"]
    parts += [f"{name} {version}" for name, version in library_versions(deps)]
    return " \u00b7 ".join(parts) + " (Debian source packages)"


def write_gzip(path):
    with open(path, "rb") as f:
        data = f.read()
    with open(path + ".gz", "wb") as f:
        f.write(gzip.compress(data, compresslevel=9, mtime=0))


def content_hash(data):
    return hashlib.sha256(data).hexdigest()[:16]


def hashed_name(name, data):
    """name.ext as name.<hash>.ext."""
    stem, ext = os.path.splitext(name)
    return f"{stem}.{content_hash(data)}{ext}"


def read(path):
    with open(path, "rb") as f:
        return f.read()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("web")
    parser.add_argument("project", nargs="?", default=os.path.join(os.path.dirname(__file__), "..", ".."))
    parser.add_argument("--icons")
    parser.add_argument("--build-id")
    parser.add_argument("--revision")
    args = parser.parse_args()
    web = os.path.abspath(args.web)
    project = os.path.abspath(args.project)
    source = os.path.join(project, "web")
    icons = os.path.abspath(args.icons) if args.icons else web

    # Every served file but the page and the worker, by its plain name.
    contents = {}
    for folder, names, what in ((web, PROGRAM, "the browser program is not built"),
                                (icons, ICONS, "no page icons (assetgen --web-icons; name their folder with --icons)"),
                                (source, PAGE, "no page sources")):
        for name in names:
            try:
                contents[name] = read(os.path.join(folder, name))
            except OSError as e:
                print(f"make_page.py: {what}: {e}")
                return 1
    served = {name: hashed_name(name, data) for name, data in contents.items()}
    with open(os.path.join(source, MANIFEST), encoding="utf-8") as f:
        manifest = json.load(f)
    for icon in manifest.get("icons", []):
        icon["src"] = served[icon["src"]]
    contents[MANIFEST] = (json.dumps(manifest, indent=2, ensure_ascii=False) + "\n").encode("utf-8")
    served[MANIFEST] = hashed_name(MANIFEST, contents[MANIFEST])

    # The web build folder's libraries (a second program's folder inside it
    # shares them).
    deps = os.path.join(web, "deps")
    if not os.path.isdir(deps):
        deps = os.path.join(os.path.dirname(web), "deps")
    toolchain = toolchain_line(deps)
    revision = args.revision if args.revision is not None else game_revision(project)
    about = f"Valmoren {revision} \u00b7 {toolchain}"
    with open(os.path.join(source, "index.html"), encoding="utf-8") as f:
        page = f.read()
    with open(os.path.join(source, "sw.js"), encoding="utf-8") as f:
        worker = f.read()
    h = hashlib.sha256()
    for text in [page, worker, toolchain] + [f"{name}={served[name]}" for name in sorted(served)]:
        h.update(text.encode("utf-8") + b"\0")
    build = args.build_id or h.hexdigest()[:16]
    if not re.fullmatch(r"[A-Za-z0-9._-]{1,64}", build):
        print(f"make_page.py: a build id is letters, digits, '.', '_' and '-': {build!r}")
        return 2

    # The page names each file by its served name (@page.css@ and so on); the
    # program's own names for its parts map to theirs (valmoren-files).
    def name_in_page(found):
        name = found.group(1)
        if name == "ABOUT":
            return html.escape(about)
        if name == "BUILD":
            return build
        if name == "FILES":
            return html.escape(json.dumps({n: served[n] for n in PROGRAM}, sort_keys=True))
        if name not in served:
            raise KeyError(f"the page names @{name}@, which is not among the build's files")
        return served[name]
    try:
        page = re.sub(r"@([A-Za-z0-9._-]+)@", name_in_page, page)
    except KeyError as e:
        print(f"make_page.py: {e.args[0]}")
        return 1
    worker = worker.replace("@BUILD@", build).replace("@FILES@", json.dumps(sorted(served.values())))

    site = os.path.join(web, SITE)
    shutil.rmtree(site, ignore_errors=True)
    os.makedirs(site)
    files = {"index.html": page.encode("utf-8"), "sw.js": worker.encode("utf-8")}
    files.update({served[name]: data for name, data in contents.items()})
    for name, data in files.items():
        path = os.path.join(site, name)
        with open(path, "wb") as f:
            f.write(data)
        if not name.endswith(PACKED_ALREADY):
            write_gzip(path)

    print("Built with:", about)
    print("Build id:", build)
    plain = sum(len(contents[n]) for n in PROGRAM)
    packed = sum(os.path.getsize(os.path.join(site, served[n] + ".gz")) for n in PROGRAM)
    print(f"Program and data: {plain / 1e6:.2f} MB, {packed / 1e6:.2f} MB compressed (gzip)")
    print("Site:", site)
    return 0


if __name__ == "__main__":
    sys.exit(main())
