#!/usr/bin/env python3
"""Draws the pictures of the navigator's panels and the about box as PNG files.

Each panel picture is 48 x 24: the left 24 x 24 half is shown when the panel's table is ready,
the right half otherwise. Pure white is the transparent colour. The about picture is written as
about.png; the resource keeps it as the JPEG about.jpg. Run from the repository root:
    python3 tools/flowpictures.py src/gui/resources
"""
import struct
import sys
import zlib

WHITE = (255, 255, 255)


def write_png(path, pixels):
    height, width = len(pixels), len(pixels[0])
    raw = b"".join(b"\x00" + bytes(c for px in row for c in px) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        out.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        out.write(chunk(b"IEND", b""))


class Canvas:
    def __init__(self, width, height):
        self.width, self.height = width, height
        self.px = [[WHITE] * width for _ in range(height)]

    def dot(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.px[y][x] = colour

    def rect(self, x0, y0, x1, y1, colour, fill=None):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                edge = x in (x0, x1) or y in (y0, y1)
                if edge:
                    self.dot(x, y, colour)
                elif fill:
                    self.dot(x, y, fill)

    def line(self, x0, y0, x1, y1, colour):
        steps = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(steps + 1):
            self.dot(round(x0 + (x1 - x0) * i / steps), round(y0 + (y1 - y0) * i / steps), colour)

    def circle(self, cx, cy, r, colour, fill=None):
        for y in range(cy - r, cy + r + 1):
            for x in range(cx - r, cx + r + 1):
                d = ((x - cx) ** 2 + (y - cy) ** 2) ** 0.5
                if abs(d - r) < 0.6:
                    self.dot(x, y, colour)
                elif d < r and fill:
                    self.dot(x, y, fill)


def grey(colour):
    if colour == WHITE:
        return WHITE
    level = (colour[0] * 30 + colour[1] * 59 + colour[2] * 11) // 100
    return (128 + level // 3,) * 3


def two_state(draw):
    """Draws one 24 x 24 picture in colour on the left and greyed on the right."""
    half = Canvas(24, 24)
    draw(half)
    both = Canvas(48, 24)
    for y in range(24):
        for x in range(24):
            both.px[y][x] = half.px[y][x]
            both.px[y][x + 24] = grey(half.px[y][x])
    return both.px


NAVY, BLUE, TEAL = (0, 0, 128), (0, 64, 200), (0, 128, 128)
RED, GREEN, OLIVE = (200, 0, 0), (0, 128, 0), (128, 128, 0)
YELLOW, BLACK, GRAY = (240, 200, 0), (0, 0, 0), (128, 128, 128)


def query(c):  # the search panel: a database drum and a magnifier
    for y in (4, 8, 12):
        c.line(3, y, 12, y, NAVY)
    c.rect(3, 4, 12, 15, NAVY, (160, 190, 240))
    c.circle(15, 14, 4, BLACK, (200, 240, 255))
    c.line(18, 17, 21, 20, BLACK)
    c.line(19, 17, 22, 20, BLACK)


def grid(c, colour, fill):
    c.rect(3, 4, 20, 19, colour, fill)
    for y in (8, 12, 16):
        c.line(3, y, 20, y, colour)
    for x in (9, 15):
        c.line(x, 4, x, 19, colour)


def rule(c):  # primary table from the databases
    grid(c, BLUE, (220, 230, 255))
    c.rect(3, 4, 20, 7, BLUE, BLUE)


def extr(c):  # summary from the databases: a sum sign over a table
    grid(c, TEAL, (220, 245, 240))
    c.line(6, 2, 17, 2, RED)
    c.line(6, 2, 11, 9, RED)
    c.line(11, 9, 6, 16, RED)
    c.line(6, 16, 17, 16, RED)


def calc(c):  # primary table of the calculation: a calculator
    c.rect(5, 2, 18, 21, OLIVE, (245, 240, 200))
    c.rect(7, 4, 16, 8, BLACK, (170, 220, 170))
    for y in (11, 15, 19):
        for x in (8, 12, 16):
            c.rect(x - 1, y - 1, x, y, BLACK, BLACK)


def table(c):  # summary of the calculation
    grid(c, GREEN, (225, 250, 225))
    c.rect(3, 16, 20, 19, GREEN, GREEN)


def axes(c):  # coordinate intervals: three axes with ticks
    c.line(4, 19, 20, 19, BLACK)
    c.line(4, 19, 4, 3, BLACK)
    c.line(4, 19, 14, 11, BLACK)
    for x in (8, 12, 16):
        c.line(x, 18, x, 20, RED)
    for y in (7, 11, 15):
        c.line(3, y, 5, y, RED)
    c.line(18, 17, 20, 19, BLACK)
    c.line(2, 5, 4, 3, BLACK)
    c.line(6, 5, 4, 3, BLACK)


def about():
    """A chimney, its plume and a rising curve of risk over a landscape."""
    w, h = 160, 120
    c = Canvas(w, h)
    for y in range(h):
        for x in range(w):
            c.px[y][x] = (200 - y // 2, 225 - y // 3, 250) if y < 80 else (110, 170 - (y - 80), 90)
    c.rect(30, 40, 40, 80, (90, 60, 50), (150, 90, 70))
    for i in range(40):
        c.circle(42 + i * 2, 34 - i // 3 - (i % 5 == 0), 4 + i // 8, (150, 150, 150), (190, 190, 190))
    c.rect(96, 56, 124, 80, NAVY, (230, 230, 240))
    c.rect(104, 66, 110, 80, NAVY, (120, 80, 40))
    previous = None
    for x in range(8, 152):
        y = 110 - int(((x - 8) / 144) ** 2 * 24)
        if previous:
            c.line(previous[0], previous[1], x, y, (200, 0, 0))
        previous = (x, y)
    return c.px


def main(folder):
    for name, draw in (("query", query), ("rule", rule), ("extr", extr), ("calc", calc),
                       ("table", table), ("axes", axes)):
        write_png(f"{folder}/{name}.png", two_state(draw))
    write_png(f"{folder}/about.png", about())


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "src/gui/resources")
