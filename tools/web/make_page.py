#!/usr/bin/env python3
"""Makes the game's site from the browser program in the web build folder:
<web build folder>/site/ holds everything a host serves, and nothing else.
There: index.html with its "about" line (the game's revision and the
versions of the toolchain and the libraries it was built with) and its
build id; the offline worker sw.js with the build id and the list of files
it keeps; and every other file under a name that carries the first 16 hex
digits of its content's SHA-256 (valmoren.<hash>.wasm, page.<hash>.js, ...):
the program, its data, the page's script and style, its web app manifest
and icons, the game's licence (LICENSE.txt) and THIRD-PARTY.txt, the libraries
built into the program with their licences (tools/third-party.py); and,
under its own name, the game's source as valmoren-<version>-source.tar.gz
(tools/source-archive.sh), which the page's bottom line links with the two
licences, as the GPL asks of every copy of the program. The page names those files (and tells the program where its
.wasm is), so a page can only ever load the files of its own
build, and a file can be cached for ever under its name. The game's data
(--data: the native run folder's img/, sounds/ and suget.dat) go in packs,
valmoren-<pack>.<hash>.data, in the order the game first needs them (the
logo's first, then the menu's, then each level's); the page lists them with
the files each holds. A gzip copy of every file but the pictures sits beside
it, and a Brotli copy where the brotli tool is there, for a server that hands
them to browsers that accept those. Prints the versions, the build id and
the download size.

This is the one place that knows the build's set of files.

The build id is a digest of what the page is built of: the files' contents,
the page's and the worker's sources, the versions of the toolchain and the
libraries. The revision is not part of it, so a commit that changes only
documents keeps the players' offline copy, and any change to the game or
the page replaces it; --build-id names one instead.

Usage: make_page.py <web build folder> [project folder] --data <run folder>
                    [--icons folder] [--build-id id] [--revision text]
                    [--deps folder]
  --icons: where icon-192.png, icon-512.png and icon-maskable-512.png are
           (assetgen --web-icons); by default the web build folder.
  --revision: the about line's revision instead of `git describe`'s.
  --deps: the browser's libraries (tools/web/build-deps.sh) the program was
          built with; by default <web build folder>/deps or the one beside it.
"""
import argparse
import fnmatch
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
PROGRAM = ("valmoren.js", "valmoren.wasm")
# The game's data (a native run folder's img/, sounds/ and suget.dat) in
# packs, in the order the game first needs them: the page fetches them one
# after the other from the moment it loads, and a file the game opens before
# its pack has arrived waits for it. Each pack names its files (patterns
# relative to the run folder); a file goes to the first pack that names it,
# and the last pack takes whatever no other named.
DATA_PACKS = (
    ("logo", ["img/logo3.bmp", "sounds/mus_logo.ogg"]),
    ("menu", ["img/l1.bmp", "img/l2.bmp", "img/start.bmp", "img/options.bmp", "img/credits.bmp",
              "img/exit.bmp", "img/ball.bmp", "img/name.bmp"]),
    ("menu-music", ["sounds/mus_menu.ogg"]),
    ("level1", ["suget.dat", "sounds/suget.ogg", "img/suget0.bmp", "img/suget1.bmp",
                "img/get_r.bmp", "img/g_o.bmp", "img/key.bmp", "img/mouse.bmp", "img/ok_d.bmp", "img/strelki*.bmp",
                "img/samalet.bmp", "img/samalet2.bmp", "img/backg.bmp", "img/backg2.bmp", "img/ship3.bmp",
                "img/stations.bmp", "img/aster.bmp", "img/vzruv.bmp", "img/lives.bmp", "img/time.bmp",
                "img/load.bmp", "img/load2.bmp", "sounds/m_fon.ogg", "sounds/mus.ogg"]),
    ("level2", ["img/suget2.bmp", "img/samol.bmp", "img/pull.bmp", "img/andr.bmp", "img/aster2.bmp",
                "img/ship2.bmp", "img/pull2.bmp", "sounds/m_fon2.ogg", "sounds/boom.wav"]),
    ("level3", ["img/suget3.bmp", "img/oskolki.bmp", "img/rotate/*.bmp", "sounds/m_fon3.ogg"]),
    ("level4", ["img/suget4.bmp", "img/kosm.bmp", "img/oskolki2.bmp", "sounds/m_fon4.ogg"]),
    ("level5", ["img/suget5.bmp", "img/planets.bmp", "img/target.bmp", "img/andr2.bmp", "img/racet.bmp",
                "img/fac.bmp", "sounds/boom2.wav", "sounds/m_fon5.ogg"]),
    ("rest", ["*"]),
)
# What of the run folder is the game's data.
DATA_ROOTS = ("img", "sounds", "suget.dat")
ICONS = ("icon-192.png", "icon-512.png", "icon-maskable-512.png")
# The page's own files, copied from web/ (the manifest with its icons' names).
PAGE = ("page.js", "page.css", "recordings.js")
MANIFEST = "manifest.webmanifest"
# The game's own licence and the libraries' (written by tools/third-party.py).
# Where the site is written, inside the web build folder.
SITE = "site"
# Compressed already: no gzip copy.
PACKED_ALREADY = (".png", ".gz")


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
    for name, package in (("SDL2", "libsdl2"), ("libogg", "libogg"), ("libvorbis", "libvorbis"), ("zlib", "zlib")):
        try:
            with open(os.path.join(deps, "prefix", ".stamp-" + package)) as f:
                out.append((name, f.read().strip()))
        except OSError:
            out.append((name, "unknown"))
    return out


def game_version(project):
    """The version in the project's CMakeLists.txt, which names the source
    archive."""
    with open(os.path.join(project, "CMakeLists.txt"), encoding="utf-8") as f:
        found = re.search(r"project\(Valmoren VERSION ([0-9.]+)", f.read())
    return found.group(1) if found else "unknown"


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


def write_brotli(path):
    """A Brotli copy beside the file, by the brotli tool (Debian's brotli);
    False when there is no such tool."""
    if not shutil.which("brotli"):
        return False
    return subprocess.run(["brotli", "-q", "11", "-f", "-o", path + ".br", path], capture_output=True).returncode == 0


def data_files(run):
    """Every data file of a run folder, as paths relative to it (slashes)."""
    found = []
    for root in DATA_ROOTS:
        top = os.path.join(run, root)
        if os.path.isfile(top):
            found.append(root)
        for folder, _, names in os.walk(top):
            for name in names:
                found.append(os.path.relpath(os.path.join(folder, name), run).replace(os.sep, "/"))
    return sorted(found)


def data_packs(run):
    """The packs of DATA_PACKS as (name, contents, [[path, size], ...]): each
    pack the files it names, one after the other; packs that would be empty
    are left out."""
    left = data_files(run)
    packs = []
    for name, patterns in DATA_PACKS:
        files = []
        for pattern in patterns:
            for path in [p for p in left if fnmatch.fnmatchcase(p, pattern)]:
                files.append(path)
                left.remove(path)
        if files:
            blobs = [read(os.path.join(run, f)) for f in files]
            packs.append((name, b"".join(blobs), [[f, len(b)] for f, b in zip(files, blobs)]))
    return packs


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
    parser.add_argument("--data")
    parser.add_argument("--build-id")
    parser.add_argument("--revision")
    parser.add_argument("--deps")
    args = parser.parse_args()
    web = os.path.abspath(args.web)
    project = os.path.abspath(args.project)
    source = os.path.join(project, "web")
    icons = os.path.abspath(args.icons) if args.icons else web

    # The web build folder's libraries (a second program's folder inside it
    # shares them).
    deps = os.path.abspath(args.deps) if args.deps else os.path.join(web, "deps")
    if not args.deps and not os.path.isdir(deps):
        deps = os.path.join(os.path.dirname(web), "deps")

    # Every served file but the page and the worker, by its plain name.
    contents = {}
    third_party = os.path.join(web, "THIRD-PARTY.txt")
    made = subprocess.run([sys.executable, os.path.join(project, "tools", "third-party.py"), "web", deps, third_party],
                          capture_output=True, text=True)
    if made.returncode != 0:
        print(f"make_page.py: no THIRD-PARTY.txt: {(made.stderr or made.stdout).strip()}")
        return 1
    for name, path in (("LICENSE.txt", os.path.join(project, "LICENSE")), ("THIRD-PARTY.txt", third_party)):
        try:
            contents[name] = read(path)
        except OSError as e:
            print(f"make_page.py: {e}")
            return 1
    for folder, names, what in ((web, PROGRAM, "the browser program is not built"),
                                (icons, ICONS, "no page icons (assetgen --web-icons; name their folder with --icons)"),
                                (source, PAGE, "no page sources")):
        for name in names:
            try:
                contents[name] = read(os.path.join(folder, name))
            except OSError as e:
                print(f"make_page.py: {what}: {e}")
                return 1
    run = os.path.abspath(args.data) if args.data else None
    if not run or not os.path.isdir(os.path.join(run, "img")):
        print(f"make_page.py: name the native run folder holding the game's data with --data ({run})")
        return 1
    packs = data_packs(run)
    for name, blob, _ in packs:
        contents[f"valmoren-{name}.data"] = blob
    served = {name: hashed_name(name, data) for name, data in contents.items()}
    with open(os.path.join(source, MANIFEST), encoding="utf-8") as f:
        manifest = json.load(f)
    for icon in manifest.get("icons", []):
        icon["src"] = served[icon["src"]]
    contents[MANIFEST] = (json.dumps(manifest, indent=2, ensure_ascii=False) + "\n").encode("utf-8")
    served[MANIFEST] = hashed_name(MANIFEST, contents[MANIFEST])

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
    source_archive = f"valmoren-{game_version(project)}-source.tar.gz"

    def name_in_page(found):
        name = found.group(1)
        if name == "ABOUT":
            return html.escape(about)
        if name == "BUILD":
            return build
        if name == "SOURCE":
            return source_archive
        if name == "FILES":
            return html.escape(json.dumps({n: served[n] for n in PROGRAM}, sort_keys=True))
        if name == "DATA":
            return html.escape(json.dumps([{"name": served[f"valmoren-{n}.data"], "files": files}
                                           for n, _, files in packs]))
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
    brotli = True  # every copy made
    for name, data in files.items():
        path = os.path.join(site, name)
        with open(path, "wb") as f:
            f.write(data)
        if not name.endswith(PACKED_ALREADY):
            write_gzip(path)
            brotli = write_brotli(path) and brotli
    # The game's source beside the page, under its plain name: not part of
    # the build's files (the offline copy does not keep it).
    archived = subprocess.run(["sh", os.path.join(project, "tools", "source-archive.sh"), site],
                              capture_output=True, text=True)
    if archived.returncode != 0 or not os.path.isfile(os.path.join(site, source_archive)):
        print(f"make_page.py: no source archive: {(archived.stderr or archived.stdout).strip()}")
        return 1

    print("Built with:", about)
    print("Build id:", build)
    parts = list(PROGRAM) + [f"valmoren-{n}.data" for n, _, _ in packs]
    plain = sum(len(contents[n]) for n in parts)
    packed = sum(os.path.getsize(os.path.join(site, served[n] + ".gz")) for n in parts)
    line = f"Program and data: {plain / 1e6:.2f} MB, {packed / 1e6:.2f} MB compressed (gzip)"
    if brotli:
        line += f", {sum(os.path.getsize(os.path.join(site, served[n] + '.br')) for n in parts) / 1e6:.2f} MB (Brotli)"
    print(line)
    first = ["valmoren.js", "valmoren.wasm", f"valmoren-{packs[0][0]}.data"]
    print(f"Before the logo: {sum(os.path.getsize(os.path.join(site, served[n] + '.gz')) for n in first) / 1e3:.0f} kB"
          f" compressed (the program's script and WebAssembly, the {packs[0][0]} pack)")
    print("Site:", site)
    return 0


if __name__ == "__main__":
    sys.exit(main())
