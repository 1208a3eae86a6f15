#!/usr/bin/env python3
# package_test.py -- the Debian package `make package` built: its fields
# (section games, dependencies from the binary), its file list (the program
# in /usr/games, the data in /usr/share/games/valmoren, compressed manual page
# and changelog, copyright, owned by root with plain modes), lintian without
# errors, and the package unpacked with dpkg -x into a temporary root with
# its program started there under Xvfb to the menu and left through Exit.
# Usage: package_test.py PACKAGE.deb. Exit 0 pass, 1 fail, 77 when dpkg-deb
# is missing.
import gzip
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # the source tree stays as checked out

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "xvfb"))
import xsession  # noqa: E402
from xsession import log  # noqa: E402

APP_ID = "org.valmoren.valmoren"
DATA = "usr/share/games/valmoren"


def run(args, **kw):
    return subprocess.run(args, capture_output=True, timeout=kw.pop("timeout", 120), **kw)


def field_problems(deb):
    problems = []
    fields = {}
    for name in ("Package", "Section", "Depends", "Maintainer", "Description", "Version"):
        fields[name] = run(["dpkg-deb", "-f", deb, name]).stdout.decode().strip()
    if fields["Package"] != "valmoren" or fields["Section"] != "games":
        problems.append(f"package {fields['Package']!r} in section {fields['Section']!r}")
    # Computed from the program: the libraries it links, each with a version.
    for library in ("libsdl2-2.0-0", "libvorbisfile3", "libc6", "libstdc++6"):
        if not re.search(re.escape(library) + r" \(>= [^)]+\)", fields["Depends"]):
            problems.append(f"Depends does not name {library} with a version: {fields['Depends']!r}")
    if not fields["Maintainer"] or not fields["Description"] or not fields["Version"]:
        problems.append("Maintainer, Description or Version is empty")
    return problems


def contents_problems(deb):
    r = run(["dpkg-deb", "--contents", deb])
    if r.returncode != 0:
        return ["dpkg-deb cannot list the package: " + r.stderr.decode(errors="replace")]
    problems = []
    paths = {}
    for line in r.stdout.decode().splitlines():
        parts = line.split()
        mode, owner, path = parts[0], parts[1], parts[-1].lstrip(".")
        paths[path.rstrip("/")] = mode
        if owner != "root/root":
            problems.append(f"{path} belongs to {owner}")
        want = "drwxr-xr-x" if mode.startswith("d") else "-rwxr-xr-x" if path == "/usr/games/valmoren" \
            else "-rw-r--r--"
        if mode != want:
            problems.append(f"{path} has mode {mode}, not {want}")
    expected = ["/usr/games/valmoren", f"/{DATA}/suget.dat", f"/{DATA}/img/ball.bmp",
                f"/{DATA}/img/rotate/abc1.bmp", f"/{DATA}/sounds/mus_menu.ogg",
                f"/usr/share/applications/{APP_ID}.desktop", f"/usr/share/metainfo/{APP_ID}.metainfo.xml",
                "/usr/share/man/man6/valmoren.6.gz", "/usr/share/doc/valmoren/copyright",
                "/usr/share/doc/valmoren/changelog.gz"]
    expected += [f"/usr/share/icons/hicolor/{s}x{s}/apps/{APP_ID}.png" for s in (32, 48, 64, 128, 256)]
    for path in expected:
        if path not in paths:
            problems.append(f"the package has no {path}")
    for path in paths:
        if path.startswith(("/usr/bin", "/usr/local", "/usr/share/valmoren")) or \
                path.endswith(("options.dat", "score.dat", "LICENSE")):
            problems.append(f"the package holds {path}")
    return problems


def lintian_problems(deb):
    if shutil.which("lintian") is None:
        log("skipped lintian: not installed")
        return []
    r = run(["lintian", "--info", "--display-info", deb], timeout=600)
    tags = [line for line in r.stdout.decode(errors="replace").splitlines() if re.match(r"^[EWIPX]: ", line)]
    log("lintian: " + (", ".join(tags) if tags else "no tags"))
    errors = [t for t in tags if t.startswith("E: ")]
    if r.returncode not in (0, 1) or (r.returncode == 1 and not errors):
        return [f"lintian failed to run (status {r.returncode}): {r.stderr.decode(errors='replace')[:300]}"]
    return [f"lintian: {t}" for t in errors]


def unpacked_problems(deb, work):
    """Unpacked documentation reads back, and the unpacked program starts
    under Xvfb to the menu and ends through Exit with status 0."""
    problems = []
    root = os.path.join(work, "root")
    r = run(["dpkg", "-x", deb, root])
    if r.returncode != 0:
        return ["dpkg -x failed: " + r.stderr.decode(errors="replace")]
    for doc in ("usr/share/man/man6/valmoren.6.gz", "usr/share/doc/valmoren/changelog.gz"):
        try:
            with gzip.open(os.path.join(root, doc)) as f:
                text = f.read()
        except OSError as e:
            problems.append(f"{doc} is not gzip: {e}")
            continue
        if not text:
            problems.append(f"{doc} is empty")
    if xsession.skipped():
        return problems
    data = os.path.join(root, DATA)
    home = os.path.join(work, "home")

    def body(game):
        found = xsession.reach_menu(game, xsession.menu_pictures(data))
        if not found:
            status = xsession.exit_from_menu(game)
            if status != 0:
                found.append(f"Exit in the menu ended the unpacked game with status {status}")
        return found
    problems += xsession.play_installed(os.path.join(root, "usr/games/valmoren"), data, os.path.join(work, "cwd"),
                                        home, body, "the unpacked game")
    if not os.path.isdir(os.path.join(home, ".local", "share", "valmoren")):
        problems.append("the unpacked game made no player's folder")
    return problems


def main():
    if len(sys.argv) != 2:
        print("usage: package_test.py PACKAGE.deb")
        return 1
    deb = os.path.abspath(sys.argv[1])
    if shutil.which("dpkg-deb") is None:
        log("skipped: dpkg-deb is not installed")
        return 77
    if not os.path.isfile(deb):
        log("no package at", deb)
        return 1
    log(f"package: {os.path.basename(deb)}, {os.path.getsize(deb)} bytes")
    with tempfile.TemporaryDirectory(prefix="valmoren-package-", ignore_cleanup_errors=True) as work:
        return xsession.run_parts((
            ("fields", lambda: field_problems(deb)),
            ("contents", lambda: contents_problems(deb)),
            ("lintian", lambda: lintian_problems(deb)),
            ("unpacked", lambda: unpacked_problems(deb, work))))


if __name__ == "__main__":
    sys.exit(main())
