#!/usr/bin/env python3
"""Draws the scanner's nine icons as PNG files (our own simple drawings: bars, a cross, a
disk, an "i", magnifiers). Run once; the PNGs are committed under scanner/resources/."""
import os
import struct
import sys
import zlib


class Canvas:
    def __init__(self, w, h, bg=(0, 0, 0, 0)):
        self.w, self.h = w, h
        self.px = [[bg for _ in range(w)] for _ in range(h)]

    def rect(self, x0, y0, x1, y1, c):
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                self.px[y][x] = c

    def disk(self, cx, cy, r, c, inner=0.0):
        for y in range(self.h):
            for x in range(self.w):
                d2 = (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2
                if inner * inner <= d2 <= r * r:
                    self.px[y][x] = c

    def line(self, x0, y0, x1, y1, width, c):
        for y in range(self.h):
            for x in range(self.w):
                px, py = x + 0.5, y + 0.5
                dx, dy = x1 - x0, y1 - y0
                t = max(0.0, min(1.0, ((px - x0) * dx + (py - y0) * dy) / float(dx * dx + dy * dy)))
                if (px - x0 - t * dx) ** 2 + (py - y0 - t * dy) ** 2 <= (width / 2.0) ** 2:
                    self.px[y][x] = c

    def save(self, path):
        raw = b"".join(b"\x00" + b"".join(struct.pack("4B", *p) for p in row) for row in self.px)

        def chunk(kind, data):
            return (struct.pack(">I", len(data)) + kind + data +
                    struct.pack(">I", zlib.crc32(kind + data) & 0xffffffff))

        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n")
            f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", self.w, self.h, 8, 6, 0, 0, 0)))
            f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
            f.write(chunk(b"IEND", b""))


INK = (40, 40, 40, 255)
GREY = (64, 64, 64, 255)
AXIS = (0, 90, 180, 255)
COLOURS = [(236, 29, 35, 255), (255, 225, 0, 255), (0, 153, 91, 255), (0, 174, 200, 255),
           (0, 172, 239, 255), (192, 192, 192, 255)]


def logo(out):
    c = Canvas(352, 405, GREY + ())
    c.rect(0, 0, 352, 405, GREY)
    heights = [120, 260, 180, 330, 90, 220, 150]
    for i, h in enumerate(heights):
        x = 20 + i * 46
        c.rect(x, 385 - h, x + 36, 385, COLOURS[i % len(COLOURS)])
    c.save(out)


def double_arrow(c, x0, y0, x1, y1, colour):
    """A two-headed arrow from (x0, y0) to (x1, y1), along one axis, heads at 45 degrees."""
    c.line(x0, y0, x1, y1, 1.6, colour)
    dx, dy = (1 if x1 > x0 else 0), (1 if y1 > y0 else 0)
    a = 2.5
    for (x, y, s) in ((x0, y0, 1), (x1, y1, -1)):
        c.line(x, y, x + s * dx * a + dy * a, y + s * dy * a + dx * a, 1.6, colour)
        c.line(x, y, x + s * dx * a - dy * a, y + s * dy * a - dx * a, 1.6, colour)


def magnifier(out, plus, vertical, horizontal, full=False):
    c = Canvas(29, 23)
    c.disk(11, 10, 8, INK, inner=6)
    c.line(16, 15, 24, 21, 3, INK)
    if full:
        c.rect(7, 6, 16, 15, INK)
        return c.save(out)
    c.rect(7, 9, 16, 12, INK)
    if plus:
        c.rect(10, 6, 13, 15, INK)
    # The axis the icon zooms: along the bottom for the channel axis, up the right-hand side for
    # the dB scale, where the chart has them.
    if horizontal:
        double_arrow(c, 2.5, 20.5, 14, 20.5, AXIS)
    if vertical:
        double_arrow(c, 25.5, 2, 25.5, 13.5, AXIS)
    c.save(out)


def main(folder):
    os.makedirs(folder, exist_ok=True)
    logo(os.path.join(folder, "logo.png"))
    c = Canvas(27, 23)
    c.line(6, 4, 21, 19, 3, (200, 30, 30, 255))
    c.line(21, 4, 6, 19, 3, (200, 30, 30, 255))
    c.save(os.path.join(folder, "clrDecRes.png"))
    c = Canvas(27, 23)
    c.rect(4, 2, 23, 21, INK)
    c.rect(8, 3, 19, 9, (230, 230, 230, 255))
    c.rect(7, 13, 20, 20, (180, 180, 180, 255))
    c.save(os.path.join(folder, "saveReport.png"))
    c = Canvas(27, 23)
    c.disk(13.5, 11.5, 10, (0, 90, 180, 255))
    c.rect(12, 9, 15, 18, (255, 255, 255, 255))
    c.rect(12, 5, 15, 7, (255, 255, 255, 255))
    c.save(os.path.join(folder, "about.png"))
    magnifier(os.path.join(folder, "zoomInHor.png"), True, False, True)
    magnifier(os.path.join(folder, "zoomInVert.png"), True, True, False)
    magnifier(os.path.join(folder, "zoomOutHor.png"), False, False, True)
    magnifier(os.path.join(folder, "zoomOutVert.png"), False, True, False)
    magnifier(os.path.join(folder, "zoomOutFull.png"), False, False, False, full=True)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "scanner/resources")
