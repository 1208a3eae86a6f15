#!/usr/bin/env python3
# layers.py -- the layout the code keeps, checked on every test run:
#  - each folder of src/ includes only the folders allowed below it (the game
#    state sits under the game layers, so nothing includes upward to flow/);
#  - only the platform (its portable core and its backends) includes
#    platform/backend.h: game code reaches the system through system.h and
#    the other platform headers;
#  - SDL is named only by the SDL backend and by the sound layer's format
#    conversion (SDL_AudioStream in the mixer and the decoder's sample
#    formats); the portable core and all game code stay free of it.
# Usage: layers.py <source root>. Exit 0 when the layout holds.
import os
import re
import sys

# Folder -> folders of src/ it may include from (besides itself).
ALLOWED = {
    "flow": {"frontend", "play", "levels", "audio", "state", "platform"},
    "frontend": {"audio", "state", "platform"},
    # The shared play routines and the level rules call each other (the
    # overlays free the shot pool, the player sprites run the level clock,
    # the rules draw with the play routines); the questions read the options.
    "play": {"levels", "frontend", "audio", "state", "platform"},
    "levels": {"play", "audio", "state", "platform"},
    "audio": {"state", "platform"},
    "state": {"platform"},
    "platform": set(),
}
SDL_ALLOWED = ("src/platform/sdl/", "src/audio/mixer.cpp", "src/audio/decoder.cpp", "src/audio/decoder.h")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/([^"]+)"')


def sources(root):
    for base, _, names in os.walk(os.path.join(root, "src")):
        for name in sorted(names):
            if name.endswith((".cpp", ".h")):
                full = os.path.join(base, name)
                yield full, os.path.relpath(full, root).replace(os.sep, "/")


def problems_in(full, rel):
    parts = rel.split("/")
    folder = parts[1] if len(parts) > 2 else None  # None: src/main.cpp
    problems = []
    with open(full, encoding="utf-8") as f:
        text = f.read()
    for number, line in enumerate(text.splitlines(), 1):
        m = INCLUDE.match(line)
        if m:
            target = m.group(1)
            if target == "platform" and m.group(2) == "backend.h" and folder != "platform":
                problems.append(f"{rel}:{number}: includes platform/backend.h outside the platform")
            if folder is not None and target != folder and target not in ALLOWED.get(folder, set()):
                problems.append(f"{rel}:{number}: {folder}/ may not include {target}/")
        if "SDL" in line and not rel.startswith(SDL_ALLOWED):
            problems.append(f"{rel}:{number}: names SDL outside the SDL backend and the sound conversion")
    return problems


def main():
    if len(sys.argv) != 2:
        print("usage: layers.py <source root>")
        return 2
    problems, files = [], 0
    for full, rel in sources(sys.argv[1]):
        files += 1
        problems += problems_in(full, rel)
    for p in problems:
        print(p)
    print(f"{files} files read, {len(problems)} layout problems")
    return 1 if problems or files == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
