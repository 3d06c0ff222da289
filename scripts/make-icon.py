#!/usr/bin/env python3
"""Draws the Quarvel icon (a crimping die closing on a copper ferrule) as RGBA PNGs.

Writes resources/icons/quarvel-<size>.png for 16, 32, 48, 64 and 128 pixels using only zlib and
struct, and with --update-modules rewrites the one-line "icons" entry of resources/builtin.json and
of every pack in resources/lang/ with the 16 and 32 pixel images.
"""
import base64
import math
import pathlib
import re
import struct
import sys
import zlib

ROOT = pathlib.Path(__file__).resolve().parent.parent
SIZES = (16, 32, 48, 64, 128)
MODULE_SIZES = (16, 32)

BACKGROUND = (31, 78, 140)
BACKGROUND_EDGE = (18, 46, 88)
STEEL = (222, 227, 233)
STEEL_SHADE = (150, 160, 172)
COPPER = (232, 128, 48)


def rounded_box(x, y, x0, y0, x1, y1, r):
    """Signed distance (negative inside) to a rounded rectangle."""
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r
    dx, dy = abs(x - cx) - hx, abs(y - cy) - hy
    outside = math.hypot(max(dx, 0), max(dy, 0))
    return outside + min(max(dx, dy), 0) - r


def circle(x, y, cx, cy, r):
    return math.hypot(x - cx, y - cy) - r


def jaw(x, y, top):
    """One die half: a block with a half-round groove facing the other half."""
    y0, y1 = (0.16, 0.43) if top else (0.57, 0.84)
    block = rounded_box(x, y, 0.20, y0, 0.80, y1, 0.05)
    groove = circle(x, y, 0.5, 0.43 if top else 0.57, 0.13)
    return max(block, -groove)


def colour_at(x, y):
    """Colour and coverage of the topmost shape at (x, y) in the unit square."""
    layers = []
    if rounded_box(x, y, 0.03, 0.03, 0.97, 0.97, 0.2) < 0:
        edge = rounded_box(x, y, 0.03, 0.03, 0.97, 0.97, 0.2) > -0.04
        layers.append(BACKGROUND_EDGE if edge else BACKGROUND)
    for top in (True, False):
        if jaw(x, y, top) < 0:
            shade = (y > 0.37) if top else (y > 0.78)
            layers.append(STEEL_SHADE if shade else STEEL)
    if circle(x, y, 0.5, 0.5, 0.085) < 0:
        layers.append(COPPER)
    return layers[-1] if layers else None


def render(size, samples=4):
    rows = []
    for py in range(size):
        row = bytearray()
        for px in range(size):
            r = g = b = a = 0
            for sy in range(samples):
                for sx in range(samples):
                    c = colour_at((px + (sx + 0.5) / samples) / size, (py + (sy + 0.5) / samples) / size)
                    if c:
                        r, g, b, a = r + c[0], g + c[1], b + c[2], a + 1
            n = samples * samples
            if a:
                row += bytes((r // a, g // a, b // a, round(255 * a / n)))
            else:
                row += bytes(4)
        rows.append(bytes(row))
    return rows


def png(size, rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + row for row in rows)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def main():
    images = {}
    for size in SIZES:
        data = png(size, render(size))
        images[size] = data
        (ROOT / "resources" / "icons" / f"quarvel-{size}.png").write_bytes(data)
    if "--update-modules" in sys.argv:
        entries = ", ".join(f'{{"size": {s}, "png": "{base64.b64encode(images[s]).decode()}"}}'
                            for s in MODULE_SIZES)
        line = f'  "icons": {{"128": [{entries}]}}'
        for path in [ROOT / "resources" / "builtin.json", *sorted((ROOT / "resources" / "lang").glob("*.json"))]:
            text = path.read_text(encoding="utf-8")
            text, count = re.subn(r'^  "icons": .*$', lambda _: line, text, flags=re.M)
            if count != 1:
                sys.exit(f"{path}: no one-line icons entry")
            path.write_text(text, encoding="utf-8")


if __name__ == "__main__":
    main()
