#!/usr/bin/env python3
"""Turns an xwd dump of a 24- or 32-bit TrueColor window (as Xvfb gives) into a PNG, with the standard
library only, optionally cut to a rectangle. Usage: xwd_to_png.py IN.xwd OUT.png [X,Y,W,H]"""
import struct
import sys
import zlib


def convert(data, crop=None):
    fields = struct.unpack(">25I", data[:100])
    header_size, version = fields[0], fields[1]
    if version != 7:
        raise ValueError("not an XWD version 7 file")
    width, height, byte_order = fields[4], fields[5], fields[7]
    bits_per_pixel, bytes_per_line, ncolors = fields[11], fields[12], fields[19]
    red_mask, green_mask, blue_mask = fields[14], fields[15], fields[16]
    if bits_per_pixel not in (24, 32):
        raise ValueError(f"{bits_per_pixel} bits per pixel is not handled")
    step = bits_per_pixel // 8  # a line may be longer than its pixels (padding): bytes_per_line counts
    pixels = data[header_size + 12 * ncolors:]

    def shift(mask):
        return (mask & -mask).bit_length() - 1

    shifts = [shift(m) for m in (red_mask, green_mask, blue_mask)]
    order = "<" if byte_order == 0 else ">"
    left, top, out_width, out_height = crop or (0, 0, width, height)
    out_width, out_height = min(out_width, width - left), min(out_height, height - top)
    rows = bytearray()
    for y in range(top, top + out_height):
        rows.append(0)
        line = pixels[y * bytes_per_line:(y + 1) * bytes_per_line]
        for x in range(left, left + out_width):
            raw = line[x * step:(x + 1) * step]
            value = int.from_bytes(raw, "little" if order == "<" else "big")
            rows += bytes(((value >> s) & 0xFF) for s in shifts)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", out_width, out_height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    with open(sys.argv[1], "rb") as source:
        rectangle = tuple(int(v) for v in sys.argv[3].split(",")) if len(sys.argv) > 3 else None
        png = convert(source.read(), rectangle)
    with open(sys.argv[2], "wb") as target:
        target.write(png)
