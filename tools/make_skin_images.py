#!/usr/bin/env python3
"""Draws the launcher's skin artwork and application icon.

Pure Python (no imaging library): shapes are signed-distance functions rasterised with
anti-aliased edges. The output is committed under skin/qemox/imgs and app/, so the build needs
no image tools; run this again after changing the artwork:

    python3 tools/make_skin_images.py
"""
import math
import os
import struct
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
IMGS = os.path.join(ROOT, "skin", "qemox", "imgs")

# Palette: deep night blue with a warm gold accent.
NAVY_TOP = (18, 28, 58)
NAVY_BOTTOM = (40, 22, 70)
PANEL = (24, 34, 66)
GOLD = (232, 186, 88)
GOLD_LIGHT = (255, 222, 140)
WHITE = (255, 255, 255)
TITLE_BLUE = (36, 84, 160)
TITLE_BLUE_DARK = (24, 56, 116)


class Canvas:
    def __init__(self, width, height, fill=(0, 0, 0, 0)):
        self.w = width
        self.h = height
        self.px = [list(fill) for _ in range(width * height)]

    def blend(self, x, y, color, alpha):
        if alpha <= 0 or not (0 <= x < self.w and 0 <= y < self.h):
            return
        a = min(1.0, alpha) * (color[3] / 255.0 if len(color) > 3 else 1.0)
        p = self.px[y * self.w + x]
        dst_a = p[3] / 255.0
        out_a = a + dst_a * (1 - a)
        if out_a <= 0:
            return
        for i in range(3):
            p[i] = round((color[i] * a + p[i] * dst_a * (1 - a)) / out_a)
        p[3] = round(out_a * 255)

    def shape(self, sdf, color, box=None):
        """Fills where sdf(x, y) < 0, with one pixel of anti-aliasing at the edge."""
        x0, y0, x1, y1 = box or (0, 0, self.w, self.h)
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                d = sdf(x + 0.5, y + 0.5)
                if d < 0.5:
                    self.blend(x, y, color, min(1.0, 0.5 - d))

    def gradient(self, box, top, bottom):
        x0, y0, x1, y1 = box
        span = max(1, y1 - y0 - 1)
        for y in range(y0, y1):
            t = (y - y0) / span
            c = tuple(round(top[i] + (bottom[i] - top[i]) * t) for i in range(3)) + (255,)
            for x in range(x0, x1):
                self.px[y * self.w + x] = list(c)

    def png(self):
        raw = bytearray()
        for y in range(self.h):
            raw.append(0)
            for p in self.px[y * self.w:(y + 1) * self.w]:
                raw.extend(p)

        def chunk(tag, data):
            body = tag + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

        header = struct.pack(">IIBBBBB", self.w, self.h, 8, 6, 0, 0, 0)
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
                + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))

    def dib(self):
        """32-bit bottom-up DIB with an AND mask, as an icon directory entry holds it."""
        header = struct.pack("<IiiHHIIiiII", 40, self.w, self.h * 2, 1, 32, 0, 0, 0, 0, 0, 0)
        rows = bytearray()
        for y in reversed(range(self.h)):
            for r, g, b, a in self.px[y * self.w:(y + 1) * self.w]:
                rows.extend((b, g, r, a))
        mask_row = ((self.w + 31) // 32) * 4
        return header + bytes(rows) + bytes(mask_row * self.h)

    def save(self, path):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(self.png())


def rounded_rect(x0, y0, x1, y1, r):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r

    def sdf(x, y):
        dx, dy = abs(x - cx) - hx, abs(y - cy) - hy
        outside = math.hypot(max(dx, 0), max(dy, 0))
        return outside + min(max(dx, dy), 0) - r
    return sdf


def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def ring(cx, cy, r, width):
    return lambda x, y: abs(math.hypot(x - cx, y - cy) - r) - width / 2


def segment(ax, ay, bx, by, width):
    def sdf(x, y):
        px, py, vx, vy = x - ax, y - ay, bx - ax, by - ay
        t = max(0.0, min(1.0, (px * vx + py * vy) / (vx * vx + vy * vy)))
        return math.hypot(px - vx * t, py - vy * t) - width / 2
    return sdf


def triangle(ax, ay, bx, by, cx, cy):
    def edge(x, y, x0, y0, x1, y1):
        return (x - x0) * (y1 - y0) - (y - y0) * (x1 - x0)

    def sdf(x, y):
        e = [edge(x, y, ax, ay, bx, by), edge(x, y, bx, by, cx, cy), edge(x, y, cx, cy, ax, ay)]
        inside = all(v <= 0 for v in e) or all(v >= 0 for v in e)
        d = min(segment(ax, ay, bx, by, 0)(x, y), segment(bx, by, cx, cy, 0)(x, y),
                segment(cx, cy, ax, ay, 0)(x, y))
        return -d if inside else d
    return sdf


def union(*sdfs):
    return lambda x, y: min(f(x, y) for f in sdfs)


def subtract(a, b):
    return lambda x, y: max(a(x, y), -b(x, y))


def draw_logo(c, ox, oy, size):
    """The game's mark: a gold ring around a four-pointed star."""
    s = size / 64.0
    cx, cy = ox + 32 * s, oy + 32 * s
    c.shape(circle(cx, cy, 30 * s), NAVY_TOP + (255,))
    c.shape(ring(cx, cy, 26 * s, 5 * s), GOLD + (255,))
    star = union(triangle(cx, cy - 20 * s, cx - 6 * s, cy, cx + 6 * s, cy),
                 triangle(cx, cy + 20 * s, cx - 6 * s, cy, cx + 6 * s, cy),
                 triangle(cx - 20 * s, cy, cx, cy - 6 * s, cx, cy + 6 * s),
                 triangle(cx + 20 * s, cy, cx, cy - 6 * s, cx, cy + 6 * s))
    c.shape(star, GOLD_LIGHT + (255,))


def login_background():
    c = Canvas(1100, 550)
    c.gradient((0, 0, 1100, 550), NAVY_TOP, NAVY_BOTTOM)
    # Soft diagonal light beams behind the panel.
    for i, alpha in enumerate((0.10, 0.07, 0.05)):
        x = 120 + i * 310
        beam = segment(x, 560, x + 380, -20, 70 - i * 15)
        c.shape(beam, WHITE + (round(255 * alpha),))
    # Panel behind the buttons and the page, with a gold rim.
    c.shape(rounded_rect(236, 24, 954, 500, 18), GOLD + (255,))
    c.shape(rounded_rect(239, 27, 951, 497, 16), PANEL + (255,))
    # Header strip where the link buttons sit.
    c.shape(rounded_rect(250, 82, 940, 135, 10), (14, 22, 46, 255))
    # Frame around the page area (the page itself covers 264,129 .. 824,470).
    c.shape(rounded_rect(258, 123, 830, 476, 6), GOLD + (200,))
    c.shape(rounded_rect(261, 126, 827, 473, 4), (250, 250, 252, 255))
    draw_logo(c, 250, 28, 48)
    # The mark again, large, in the column beside the page.
    draw_logo(c, 842, 250, 96)
    for i in range(3):
        c.shape(circle(890, 380 + i * 22, 3), GOLD + (160,))
    # Title rule next to the mark.
    c.shape(rounded_rect(306, 50, 620, 54, 2), GOLD + (220,))
    return c


def link_buttons():
    """Four 110x37 faces side by side: home, payment, fan page, support."""
    c = Canvas(440, 37)
    slices = [(0, 110), (111, 220), (220, 330), (330, 440)]
    for index, (x0, x1) in enumerate(slices):
        c.shape(rounded_rect(x0 + 1, 1, x1 - 1, 36, 9), GOLD + (255,))
        inner = rounded_rect(x0 + 3, 3, x1 - 3, 34, 7)
        for y in range(3, 34):
            t = (y - 3) / 31
            col = tuple(round(TITLE_BLUE[i] + (TITLE_BLUE_DARK[i] - TITLE_BLUE[i]) * t) for i in range(3))
            for x in range(x0 + 3, x1 - 3):
                d = inner(x + 0.5, y + 0.5)
                if d < 0.5:
                    c.blend(x, y, col + (255,), min(1.0, 0.5 - d))
        ix, iy = (x0 + x1) / 2, 18.5
        if index == 0:    # home: roof and house
            c.shape(triangle(ix - 11, iy - 1, ix, iy - 11, ix + 11, iy - 1), WHITE + (255,))
            c.shape(rounded_rect(ix - 7, iy - 2, ix + 7, iy + 10, 1), WHITE + (255,))
            c.shape(rounded_rect(ix - 2, iy + 3, ix + 2, iy + 10, 0.5), TITLE_BLUE_DARK + (255,))
        elif index == 1:  # payment: a coin
            c.shape(circle(ix, iy, 11), GOLD_LIGHT + (255,))
            c.shape(ring(ix, iy, 7.5, 2), GOLD + (255,))
            c.shape(segment(ix, iy - 4, ix, iy + 4, 2.4), GOLD + (255,))
        elif index == 2:  # fan page: two people
            for dx, r in ((-6, 1.0), (6, 1.0)):
                c.shape(circle(ix + dx, iy - 5, 4 * r), WHITE + (255,))
                c.shape(rounded_rect(ix + dx - 6, iy + 1, ix + dx + 6, iy + 11, 5), WHITE + (255,))
        else:             # support: a question mark in a ring
            c.shape(ring(ix, iy, 11, 2.4), WHITE + (255,))
            c.shape(subtract(ring(ix, iy - 3, 4.5, 2.6), rounded_rect(ix - 8, iy - 3, ix, iy + 2, 0)),
                    WHITE + (255,))
            c.shape(segment(ix, iy + 1.5, ix, iy + 3.5, 2.6), WHITE + (255,))
            c.shape(circle(ix, iy + 7, 1.6), WHITE + (255,))
    return c


def round_button(size, glyph, hot):
    c = Canvas(size, size)
    mid = size / 2
    rim = GOLD_LIGHT if hot else GOLD
    face = (200, 60, 60) if (hot and glyph == "close") else (TITLE_BLUE if hot else TITLE_BLUE_DARK)
    c.shape(circle(mid, mid, mid - 0.5), rim + (255,))
    c.shape(circle(mid, mid, mid - 2.5), face + (255,))
    k = size * 0.22
    if glyph == "close":
        c.shape(union(segment(mid - k, mid - k, mid + k, mid + k, 2.6),
                      segment(mid - k, mid + k, mid + k, mid - k, 2.6)), WHITE + (255,))
    else:
        c.shape(segment(mid - k, mid + 0.5, mid + k, mid + 0.5, 2.6), WHITE + (255,))
    return c


def title_sheet():
    """The update window's title bar, caption buttons, side borders and footer, on one sheet."""
    c = Canvas(128, 92)
    c.gradient((0, 0, 73, 28), TITLE_BLUE, TITLE_BLUE_DARK)   # left cap, middle, right cap
    for y in range(28):
        c.blend(0, y, GOLD + (255,), 0.6)
        c.blend(72, y, GOLD + (255,), 0.6)
    c.shape(rounded_rect(80, 20, 83, 21, 0), (90, 100, 120, 255))     # side border
    c.gradient((80, 25, 123, 28), (90, 100, 120), (70, 78, 96))       # footer pieces
    for y0, y1, hot in ((35, 62, False), (64, 91, True)):
        # Minimise at 0..27, close at 83..113.
        bg_min = (60, 110, 190) if hot else TITLE_BLUE_DARK
        bg_close = (200, 60, 60) if hot else TITLE_BLUE_DARK
        c.gradient((0, y0, 27, y1), bg_min, bg_min)
        c.gradient((83, y0, 113, y1), bg_close, bg_close)
        c.shape(segment(8, (y0 + y1) / 2 + 3, 19, (y0 + y1) / 2 + 3, 2), WHITE + (255,))
        mx, my = 98, (y0 + y1) / 2
        c.shape(union(segment(mx - 5, my - 5, mx + 5, my + 5, 2),
                      segment(mx - 5, my + 5, mx + 5, my - 5, 2)), WHITE + (255,))
    return c


def shadow():
    """A soft square shadow; the window draws it stretched around its edges."""
    c = Canvas(30, 30)
    box = rounded_rect(6, 6, 24, 24, 4)
    for y in range(30):
        for x in range(30):
            d = box(x + 0.5, y + 0.5)
            a = 0.45 if d <= 0 else max(0.0, 0.45 * (1 - d / 6))
            c.blend(x, y, (0, 0, 0, 255), a)
    return c


def ruler():
    """A 1 px ruler line with faint gold ends, used as a separator."""
    c = Canvas(200, 2)
    for x in range(200):
        t = 1 - abs(x - 99.5) / 100
        c.blend(x, 0, GOLD + (255,), t)
        c.blend(x, 1, (0, 0, 0, 255), 0.3 * t)
    return c


def logo(size):
    c = Canvas(size, size)
    draw_logo(c, 0, 0, size)
    return c


def write_icon(path, sizes):
    images = []
    for size in sizes:
        art = logo(size)
        images.append((size, art.png() if size >= 256 else art.dib()))
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    directory, blobs = b"", b""
    for size, data in images:
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
        blobs += data
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(header + directory + blobs)


def main():
    login_background().save(os.path.join(IMGS, "login", "bg.png"))
    link_buttons().save(os.path.join(IMGS, "login", "btns.png"))
    round_button(35, "close", False).save(os.path.join(IMGS, "login", "btn_close_normal.png"))
    round_button(35, "close", True).save(os.path.join(IMGS, "login", "btn_close_highlight.png"))
    round_button(28, "mini", False).save(os.path.join(IMGS, "login", "btn_mini_normal.png"))
    round_button(28, "mini", True).save(os.path.join(IMGS, "login", "btn_mini_highlight.png"))
    title_sheet().save(os.path.join(IMGS, "game", "title.png"))
    shadow().save(os.path.join(IMGS, "game", "shadow.png"))
    ruler().save(os.path.join(IMGS, "game", "ruler.png"))
    logo(64).save(os.path.join(IMGS, "logo.png"))
    write_icon(os.path.join(ROOT, "app", "app.ico"), (16, 32, 48, 256))


if __name__ == "__main__":
    main()
