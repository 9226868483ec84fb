#!/usr/bin/env python3
"""Draws the library's two dialog icons and writes them as .ico files.

136 (password dialog): a gold padlock. 138 (overwrite dialog): a sheet of
paper with a blue arrow pointing onto it. Both are drawn here from simple
shapes, 32 x 32 pixels with 32-bit colour and an alpha channel, so the output
is the same on every machine. Usage: make-icons.py OUTPUT_DIR
"""
import struct
import sys
from pathlib import Path

SIZE = 32


def blank():
    return [[(0, 0, 0, 0)] * SIZE for _ in range(SIZE)]


def fill_rect(img, x0, y0, x1, y1, colour):
    for y in range(max(0, y0), min(SIZE, y1)):
        for x in range(max(0, x0), min(SIZE, x1)):
            img[y][x] = colour


def frame_rect(img, x0, y0, x1, y1, colour):
    for x in range(x0, x1):
        img[y0][x] = img[y1 - 1][x] = colour
    for y in range(y0, y1):
        img[y][x0] = img[y][x1 - 1] = colour


def ring(img, cx, cy, outer, inner, colour, upper_only):
    for y in range(SIZE):
        for x in range(SIZE):
            d = (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2
            if inner * inner <= d <= outer * outer and (not upper_only or y + 0.5 <= cy):
                img[y][x] = colour


def padlock():
    img = blank()
    steel, dark = (150, 150, 160, 255), (60, 60, 70, 255)
    gold, edge = (230, 180, 40, 255), (140, 95, 10, 255)
    ring(img, 16, 14, 9, 5.5, steel, True)
    fill_rect(img, 7, 13, 10, 16, steel)
    fill_rect(img, 22, 13, 25, 16, steel)
    fill_rect(img, 4, 15, 28, 30, gold)
    frame_rect(img, 4, 15, 28, 30, edge)
    ring(img, 16, 21, 2.5, 0, dark, False)
    fill_rect(img, 15, 22, 17, 27, dark)
    return img


def sheet_with_arrow():
    img = blank()
    paper, line, edge = (255, 255, 255, 255), (170, 170, 180, 255), (90, 90, 100, 255)
    blue, navy = (40, 110, 220, 255), (20, 50, 120, 255)
    fill_rect(img, 9, 3, 28, 30, paper)
    frame_rect(img, 9, 3, 28, 30, edge)
    for y in range(8, 28, 4):
        fill_rect(img, 12, y, 25, y + 1, line)
    # An arrow from the left onto the sheet.
    fill_rect(img, 2, 14, 14, 19, blue)
    for i in range(7):
        fill_rect(img, 14 + i, 10 + i, 15 + i, 23 - i, blue)
    frame_rect(img, 2, 14, 3, 19, navy)
    return img


def ico_bytes(img):
    """One 32 x 32 image: an icon directory and a bottom-up BGRA bitmap with
    its 1-bit AND mask (all zero: the alpha channel decides)."""
    pixels = bytearray()
    for row in reversed(img):
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    mask_row = ((SIZE + 31) // 32) * 4
    mask = bytes(mask_row * SIZE)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    image = header + bytes(pixels) + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


def main():
    out = Path(sys.argv[1] if len(sys.argv) > 1 else ".")
    out.mkdir(parents=True, exist_ok=True)
    (out / "password.ico").write_bytes(ico_bytes(padlock()))
    (out / "overwrite.ico").write_bytes(ico_bytes(sheet_with_arrow()))


if __name__ == "__main__":
    main()
