#!/usr/bin/env python3
"""Packs the asset generator's icon PNGs into one Windows .ico file (each
size stored as the PNG it is, which Windows takes from Vista on).
Usage: make_ico.py <icons folder> <out.ico>; the folder holds
<size>x<size>/apps/*.png as the generator writes them."""
import pathlib
import struct
import sys


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: make_ico.py <icons folder> <out.ico>")
    folder, out = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
    images = []
    for png in sorted(folder.glob("*x*/apps/*.png")):
        data = png.read_bytes()
        if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
            sys.exit(f"{png}: not a PNG file")
        width, height = struct.unpack(">II", data[16:24])
        if width != height or width > 256:
            continue
        images.append((width, data))
    if not images:
        sys.exit(f"no icon PNGs under {folder}")
    images.sort()
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, blobs = b"", b""
    for size, data in images:
        # Width and height 0 stand for 256.
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        blobs += data
        offset += len(data)
    out.write_bytes(header + entries + blobs)
    print(f"{out}: {', '.join(str(s) for s, _ in images)} px")


main()
