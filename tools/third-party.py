#!/usr/bin/env python3
"""Writes THIRD-PARTY.txt: every library a build of the game carries inside
its program, with the version it was built from and its licence, as the
library's packagers state them.

  third-party.py windows <Windows deps folder> <out file>
  third-party.py web <browser deps folder> <out file>

A deps folder is what tools/deb-libs.sh made (build-windows/deps,
build-web/deps): prefix/.stamp-<source package> names the Debian version
built, src/<source package>-<upstream version>/ holds its unpacked sources.
The licence texts come from the Debian sources' debian/copyright files (and,
for what Debian installs ready-made, the mingw-w64 runtime, zlib, GCC's
runtime and emscripten's, from the installed packages' copyright files),
trimmed to the parts of each library that are built into the program. The
Linux package links every library from the system and carries none.
"""
import os
import pathlib
import re
import subprocess
import sys

DOC = pathlib.Path("/usr/share/doc")
ROOT = pathlib.Path(__file__).resolve().parent.parent


def game_version():
    """The version in the top-level CMakeLists.txt's project()."""
    found = re.search(r"project\(Valmoren VERSION ([0-9.]+)", (ROOT / "CMakeLists.txt").read_text())
    if not found:
        raise ValueError("no version in CMakeLists.txt")
    return found.group(1)


class Library:
    """One library in the program: `what` it does for the game; its licence
    text from a Debian copyright file (`source`: a source package built into
    the deps folder, `package`: an installed Debian package), with the Files
    paragraphs kept that cover a folder named in `keep` or lie inside one
    ("/" keeps the top-level files; the catch-all "*" covers everything),
    patterns under a folder of `drop` (parts not built for the program)
    aside; `spans` instead cuts the text
    of a copyright file that is not machine-readable, from each line that
    starts with `first` to the next that starts with `last` (that line
    itself too when `inclusive`), for (first, last, inclusive) in spans; `extra` names further licence files of the unpacked
    sources (relative to them)."""

    def __init__(self, name, what, source=None, package=None, keep=(), drop=(), spans=(), extra=()):
        self.name, self.what = name, what
        self.source, self.package = source, package
        self.keep, self.drop, self.spans, self.extra = keep, drop, spans, extra


# SDL's parts for other systems and its test library.
SDL_ELSEWHERE = ("src/video/haiku/", "src/main/winrt/", "src/video/arm/", "src/test/", "include/SDL_test", "test/")

WINDOWS = (
    Library("SDL2", "the window, keyboard, mouse, gamepads and sound device", source="libsdl2",
            keep=("include/", "src/"), drop=SDL_ELSEWHERE, extra=("src/hidapi/LICENSE-bsd.txt",)),
    Library("libogg", "the Ogg container of the music", source="libogg"),
    Library("libvorbis", "the music's Vorbis decoder", source="libvorbis"),
    Library("libpng", "screenshots written as PNG", source="libpng1.6", keep=("/",)),
    Library("zlib", "libpng's compression", package="libz-mingw-w64-dev"),
    Library("mingw-w64 runtime and winpthreads", "the C runtime's start-up and extras, threads",
            package="mingw-w64-x86-64-dev",
            keep=("mingw-w64-crt/", "mingw-w64-libraries/winpthreads/src/", "mingw-w64-libraries/winpthreads/include/")),
    Library("GCC runtime libraries (libgcc, libstdc++)", "the C++ standard library and compiler support",
            package="gcc-mingw-w64-x86-64-posix-runtime",
            spans=(("GCC is Copyright", "The libbacktrace library", False),
                   ("GCC RUNTIME LIBRARY EXCEPTION", "requirements of the license of GCC.", True))),
)

WEB = (
    Library("SDL2", "the canvas, keyboard, mouse, gamepads and sound output", source="libsdl2",
            keep=("include/", "src/"), drop=SDL_ELSEWHERE),
    Library("libogg", "the Ogg container of the music", source="libogg"),
    Library("libvorbis", "the music's Vorbis decoder", source="libvorbis"),
    Library("zlib", "the recordings of games, packed", source="zlib"),
    Library("emscripten's runtime libraries (musl libc, libc++, libc++abi, compiler-rt, dlmalloc, "
            "the JavaScript runtime)", "the C and C++ runtime in the page", package="emscripten",
            keep=("src/", "system/lib/libc/", "system/lib/libcxx/", "system/lib/libcxxabi/",
                  "system/lib/compiler-rt/", "system/lib/dlmalloc.c", "system/lib/sbrk.c")),
)

TITLES = {"windows": "valmoren.exe, the game for Windows", "web": "the game in the browser (valmoren.wasm and valmoren.js)"}
# Where the game's own licence text is: beside the Windows program; for the
# page, in the source archive it offers.
OWN_LICENCE = {"windows": "LICENSE.txt", "web": "LICENSE.txt beside the page"}


def paragraphs(text):
    """A Debian copyright file's paragraphs, each as its list of lines."""
    out, current = [], []
    for line in text.splitlines():
        if line.strip():
            current.append(line.rstrip())
        elif current:
            out.append(current)
            current = []
    if current:
        out.append(current)
    return out


def field(paragraph, name):
    """The value of a field, its continuation lines joined with spaces; None
    when the paragraph has no such field."""
    for i, line in enumerate(paragraph):
        if line.lower().startswith(name.lower() + ":"):
            value = [line.split(":", 1)[1].strip()]
            for more in paragraph[i + 1:]:
                if not more.startswith((" ", "\t")):
                    break
                value.append(more.strip())
            return " ".join(v for v in value if v)
    return None


def covers(pattern, keep):
    """Whether a Files pattern lies inside, or takes in, a folder of `keep`."""
    inside = pattern.rstrip("*")
    return any(pattern.startswith(k) or k.startswith(inside) or (k == "/" and "/" not in pattern) for k in keep)


def machine_readable_part(text, keep, drop):
    """The Files paragraphs of a machine-readable copyright file that cover
    what the program is built from, and the licence paragraphs they name."""
    kept, licences = [], {}
    for p in paragraphs(text)[1:]:
        files = field(p, "Files")
        if files is None:
            name = field(p, "License")
            if name:
                licences[name.split()[0]] = p
            continue
        patterns = [f for f in files.split() if not f.startswith(drop)]
        if any(f == "*" or covers(f, keep) for f in patterns):
            kept.append(p)
    if not kept:
        raise ValueError("no paragraph covers the files built into the program")
    named = set()
    for p in kept:
        named.update(re.split(r"[\s,()]+", field(p, "License") or ""))
    kept += [p for name, p in licences.items() if name in named]
    return "\n\n".join("\n".join(p) for p in kept)


def spans_of(text, spans):
    lines, out = text.splitlines(), []
    for first, last, inclusive in spans:
        start = next(i for i, l in enumerate(lines) if l.startswith(first))
        end = next(i for i in range(start + 1, len(lines)) if lines[i].startswith(last))
        out.append("\n".join(lines[start:end + 1 if inclusive else end]).rstrip())
    return "\n\n".join(out)


def dpkg(package, what):
    r = subprocess.run(["dpkg-query", "-W", "-f=${" + what + "}", package], capture_output=True, text=True)
    if r.returncode != 0 or not r.stdout:
        raise ValueError(f"the Debian package {package} is not installed")
    return r.stdout


def describe(lib, deps):
    """(version line, where its sources are, licence text) of a library."""
    if lib.source:
        version = (deps / "prefix" / f".stamp-{lib.source}").read_text().strip()
        upstream = version.split(":")[-1].rsplit("-", 1)[0].split(" ")[0]
        folders = sorted((deps / "src").glob(f"{lib.source}-{upstream.replace('+dfsg', '')}*/"))
        if not folders:
            raise ValueError(f"no unpacked sources of {lib.source} {version} under {deps / 'src'}")
        sources = folders[0]
        text = (sources / "debian" / "copyright").read_text(errors="replace")
        package, debian_version = lib.source, version.split(" ")[0]
        named = f"{version}, Debian's source package {package}"
    else:
        package, debian_version = dpkg(lib.package, "source:Package"), dpkg(lib.package, "source:Version")
        named = f"{dpkg(lib.package, 'Version')}, Debian's package {lib.package} (source package {package} {debian_version})"
        sources = None
        text = (DOC / lib.package / "copyright").read_text(errors="replace")
    licence = spans_of(text, lib.spans) if lib.spans else machine_readable_part(text, lib.keep, lib.drop)
    for extra in lib.extra:
        licence += f"\n\n{extra}:\n\n" + (sources / extra).read_text(errors="replace").rstrip()
    return named, f"https://snapshot.debian.org/package/{package}/{debian_version}/", licence


def write(kind, deps, out):
    libraries = {"windows": WINDOWS, "web": WEB}[kind]
    described = [(lib, describe(lib, deps)) for lib in libraries]
    rule = "-" * 76
    text = [f"Third-party software in {TITLES[kind]}", "=" * 76, "",
            "Valmoren itself is free software under the GNU General Public License,",
            f"version 3 or later ({OWN_LICENCE[kind]}); its source is valmoren-{game_version()}-source.tar.gz,",
            "offered beside every download of the game. The program also holds the",
            "libraries below, built into it. Their licences ask that these notices go",
            "with every copy; each library's source is the Debian source package named,",
            "at the address given.", ""]
    for lib, (version, _, _) in described:
        text.append(f"  {lib.name}: {lib.what}")
        text.append(f"      version {version}")
    for lib, (version, where, licence) in described:
        text += ["", rule, lib.name, f"version {version}", f"source: {where}", rule, "", licence]
    out.write_text("\n".join(text).rstrip() + "\n")


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in ("windows", "web"):
        sys.exit("usage: third-party.py windows|web <deps folder> <out file>")
    try:
        write(sys.argv[1], pathlib.Path(sys.argv[2]), pathlib.Path(sys.argv[3]))
    except (OSError, ValueError, StopIteration) as e:
        sys.exit(f"third-party.py: {e}")
    print(f"{sys.argv[3]}: {os.path.getsize(sys.argv[3])} bytes")


main()
