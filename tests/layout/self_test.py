#!/usr/bin/env python3
# self_test.py -- the layout checks catch what they are for: a small source
# tree with one fault of each kind must fail them, and the same tree mended
# must pass. Usage: self_test.py. Exit 0 when both checks behave.
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def write(root, rel, text):
    path = os.path.join(root, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write(text)


def run(script, root):
    r = subprocess.run([sys.executable, os.path.join(HERE, script), root], capture_output=True, text=True)
    return r.returncode, r.stdout


def main():
    failures = []
    with tempfile.TemporaryDirectory() as root:
        write(root, "src/platform/screen.cpp", '#include "platform/backend.h"\n')
        write(root, "src/platform/sdl/sdl_video.cpp", "#include <SDL.h>\n")
        write(root, "src/levels/clock.cpp",
              '// clock.cpp -- the level clock. Writes level_time.\n'
              '#include "flow/runner.h"\n#include "platform/backend.h"\n'
              'void f() { g.level_time -= 1; ++g.tick_mark; g.objects[i].kind = 0; }  // SDL_Delay\n')
        write(root, "src/play/hud.cpp",
              '// hud.cpp -- the status line. Writes no GameState fields.\n'
              'void h() { if (g.fps == 3) {} g.fps = 1; }\n')
        code, out = run("layers.py", root)
        if code == 0:
            failures.append("layers.py passed a tree with faults")
        for expected in ("clock.cpp:2: levels/ may not include flow/",
                         "clock.cpp:3: includes platform/backend.h outside the platform",
                         "clock.cpp:4: names SDL"):
            if expected not in out:
                failures.append(f"layers.py did not report '{expected}':\n{out}")
        if "screen.cpp" in out or "sdl_video.cpp" in out:
            failures.append(f"layers.py reported the platform's own files:\n{out}")
        code, out = run("header_writes.py", root)
        if code == 0:
            failures.append("header_writes.py passed headers that do not name their writes")
        for expected in ("writes g.tick_mark", "writes g.objects", "hud.cpp: its header says it writes no game state"):
            if expected not in out:
                failures.append(f"header_writes.py did not report '{expected}':\n{out}")
        if "g.level_time" in out:
            failures.append(f"header_writes.py reported a named field:\n{out}")

        # Mended, the same tree passes both.
        write(root, "src/levels/clock.cpp",
              '// clock.cpp -- the level clock. Writes level_time, tick_mark and objects.\n'
              '#include "levels/levels.h"\n#include "play/play.h"\n'
              'void f() { g.level_time -= 1; ++g.tick_mark; g.objects[i].kind = 0; }\n')
        write(root, "src/play/hud.cpp", '// hud.cpp -- the status line. Writes fps.\n'
                                         'void h() { if (g.fps == 3) {} g.fps = 1; }\n')
        for script in ("layers.py", "header_writes.py"):
            code, out = run(script, root)
            if code != 0:
                failures.append(f"{script} failed a tree without faults:\n{out}")
    for f in failures:
        print("FAILED:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
