#!/usr/bin/env python3
"""Writes a Windows icon file (.ico) holding the given PNG images as they are, one entry per image.

Usage: make_ico.py OUTPUT.ico IMAGE.png...   (each image square, 1 to 256 pixels, 32-bit RGBA)
"""
import struct
import sys


def png_size(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        raise ValueError("not a PNG image")
    return struct.unpack(">II", data[16:24])


def main(argv):
    if len(argv) < 3:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    images = []
    for name in argv[2:]:
        with open(name, "rb") as f:
            data = f.read()
        width, height = png_size(data)
        if not 1 <= width <= 256 or not 1 <= height <= 256:
            print(f"make_ico: {name} is {width}x{height}, larger than an icon entry", file=sys.stderr)
            return 1
        images.append((width, height, data))
    header = struct.pack("<HHH", 0, 1, len(images))  # reserved, type 1 = icon, count
    offset = len(header) + 16 * len(images)
    entries, bodies = b"", b""
    for width, height, data in images:
        # width and height 0 stand for 256; no palette; one plane; 32 bits per pixel
        entries += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(data), offset)
        bodies += data
        offset += len(data)
    with open(argv[1], "wb") as f:
        f.write(header + entries + bodies)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
