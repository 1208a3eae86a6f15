#!/usr/bin/env python3
# header_writes.py -- each game source file opens with a header saying which
# GameState fields it writes. This finds the file's own writes to `g`
# (g.x = ..., g.x += ..., ++g.x, g.x[i].y = ..., g.x.y -= ...) and fails when
# the header does not name the field, so the headers stay true as the code
# changes. A header may name a field as `x` or `g.x`.
# Usage: header_writes.py <source root>. Exit 0 when every header is true.
import os
import re
import sys

GAME_FOLDERS = ("flow", "frontend", "play", "levels", "audio", "state")

FIELD = r"g\.(\w+)(?:\[[^\]]*\])?(?:\.\w+)*"
ASSIGNMENT = r"(?:=(?!=)|\+=|-=|\*=|/=|%=|\|=|&=|\^=|<<=|>>=|\+\+|--)"
WRITE_AFTER = re.compile(r"(?<![\w.])" + FIELD + r"\s*" + ASSIGNMENT)
WRITE_BEFORE = re.compile(r"(?:\+\+|--)\s*" + FIELD)


def header_of(lines):
    """The comment lines that open the file."""
    header = []
    for line in lines:
        stripped = line.strip()
        if not stripped.startswith("//"):
            break
        header.append(stripped[2:])
    return " ".join(header)


def code_only(line):
    """The line without its // comment and without string literals."""
    line = re.sub(r'"(?:\\.|[^"\\])*"', '""', line)
    return line.split("//", 1)[0]


def writes_of(lines):
    """{field: first line number} of the file's writes to g."""
    found = {}
    for number, line in enumerate(lines, 1):
        code = code_only(line)
        for pattern in (WRITE_AFTER, WRITE_BEFORE):
            for m in pattern.finditer(code):
                found.setdefault(m.group(1), number)
    return found


def problems_in(path):
    with open(path, encoding="utf-8") as f:
        lines = f.read().splitlines()
    header = header_of(lines)
    named = set(re.findall(r"\b\w+\b", header))
    problems = []
    for field, number in sorted(writes_of(lines).items(), key=lambda kv: kv[1]):
        if field not in named:
            problems.append(f"{path}:{number}: writes g.{field}, which its header does not name")
    if writes_of(lines) and re.search(r"\bwrites no (GameState fields|game state)\b", header, re.I):
        problems.append(f"{path}: its header says it writes no game state, but it does")
    return problems


def main():
    if len(sys.argv) != 2:
        print("usage: header_writes.py <source root>")
        return 2
    root = sys.argv[1]
    problems, files = [], 0
    for folder in GAME_FOLDERS:
        base = os.path.join(root, "src", folder)
        for name in sorted(os.listdir(base)) if os.path.isdir(base) else []:
            if name.endswith(".cpp"):
                files += 1
                problems += problems_in(os.path.join(base, name))
    for p in problems:
        print(p)
    print(f"{files} files read, {len(problems)} headers to mend")
    return 1 if problems or files == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
