#!/usr/bin/env python3
"""Packs the asset generator's Windows icon images into one .ico file (each
size stored as the PNG it is, which Windows takes from Vista on). Every size
the title bar, the taskbar and Explorer ask for at 100 to 250 % display
scaling is there, drawn at that size: a missing one would be shrunk by the
system from a larger image, with a blur.
Usage: make_ico.py <folder of icon-N.png> <out.ico>"""
import pathlib
import struct
import sys

SIZES = (16, 20, 24, 32, 40, 48, 64, 256)


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: make_ico.py <folder of icon-N.png> <out.ico>")
    folder, out = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
    images = []
    for size in SIZES:
        png = folder / f"icon-{size}.png"
        try:
            data = png.read_bytes()
        except OSError as e:
            sys.exit(f"{png}: {e.strerror}")
        if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
            sys.exit(f"{png}: not a PNG file")
        if struct.unpack(">II", data[16:24]) != (size, size):
            sys.exit(f"{png}: not {size}x{size}")
        images.append((size, data))
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
