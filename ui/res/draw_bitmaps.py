#!/usr/bin/env python3
"""Draws the job tree's two image strips as 24-bit BMP files.

checkstates.bmp (bitmap 138): five 16x16 check-state pictures, in the order
of the state index: blank, empty box, box with a tick, box with a tick on a
grey ground (mixed), and a grey empty box (an item this user cannot tick).

jobicons.bmp (bitmap 139): thirteen 16x16 item icons, indexed by the icon
numbers of task_inventory.ini: 0 browser, 1 cookies, 2 history, 3 cached
files, 4 typed addresses, 5 Windows, 6 recent documents, 7 temporary folder,
8 recently used list, 9 search, 10 accessories, 11 other browsers,
12 browser cache.

Pure white (255, 255, 255) is the transparent colour of both image lists, so
the pictures themselves never use it: "white" parts are drawn in PAPER.

Run from this folder to regenerate both files; the .bmp files are committed.
"""
import struct

SIZE = 16
CLEAR = (255, 255, 255)

PAPER = (250, 250, 250)
BLACK = (0, 0, 0)
INK = (40, 40, 48)
GREY = (128, 128, 128)
LIGHT_GREY = (200, 200, 200)
MIXED_GROUND = (190, 190, 190)
BOX_EDGE = (28, 81, 128)
TICK = (0, 0, 0)
MIXED_TICK = (70, 70, 70)
BLUE = (40, 110, 210)
DARK_BLUE = (20, 60, 140)
SKY = (120, 180, 240)
GREEN = (50, 160, 60)
DARK_GREEN = (20, 100, 30)
YELLOW = (250, 205, 70)
DARK_YELLOW = (190, 140, 20)
BROWN = (196, 136, 64)
DARK_BROWN = (110, 60, 20)
CHIP = (70, 35, 10)
RED = (210, 50, 40)
DARK_RED = (140, 20, 20)
ORANGE = (240, 140, 30)
DARK_ORANGE = (170, 80, 10)
PINK = (240, 150, 170)
STEEL = (150, 165, 185)
DARK_STEEL = (70, 85, 110)


class Picture:
    """One 16x16 picture; (0, 0) is the top left pixel."""

    def __init__(self):
        self.pixels = [[CLEAR] * SIZE for _ in range(SIZE)]

    def dot(self, x, y, colour):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            self.pixels[y][x] = colour

    def fill(self, x0, y0, x1, y1, colour):
        """Fills the rectangle between two corners, both included."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.dot(x, y, colour)

    def frame(self, x0, y0, x1, y1, colour):
        self.hline(x0, x1, y0, colour)
        self.hline(x0, x1, y1, colour)
        self.vline(x0, y0, y1, colour)
        self.vline(x1, y0, y1, colour)

    def hline(self, x0, x1, y, colour):
        for x in range(x0, x1 + 1):
            self.dot(x, y, colour)

    def vline(self, x, y0, y1, colour):
        for y in range(y0, y1 + 1):
            self.dot(x, y, colour)

    def line(self, x0, y0, x1, y1, colour):
        """Bresenham line between two points, both included."""
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
        err = dx + dy
        while True:
            self.dot(x0, y0, colour)
            if x0 == x1 and y0 == y1:
                return
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    def disc(self, cx, cy, r, colour, rim=None):
        """A filled circle centred on (cx, cy), which may lie between pixels."""
        for y in range(SIZE):
            for x in range(SIZE):
                d2 = (x - cx) ** 2 + (y - cy) ** 2
                if d2 <= r * r:
                    inner = r - 1
                    edge = rim is not None and d2 > inner * inner
                    self.dot(x, y, rim if edge else colour)

    def shape(self, rows, palette, x0=0, y0=0):
        """Draws a small character map; a blank leaves the pixel as it is."""
        for y, row in enumerate(rows):
            for x, key in enumerate(row):
                if key != " ":
                    self.dot(x0 + x, y0 + y, palette[key])


# Check-state pictures ---------------------------------------------------

def check_box(ground):
    p = Picture()
    p.fill(2, 2, 14, 14, ground)
    p.frame(2, 2, 14, 14, BOX_EDGE)
    return p


def tick(p, colour):
    # A tick two pixels thick, from the left middle down and up to the right.
    for dy in (0, 1):
        p.line(5, 7 + dy, 7, 9 + dy, colour)
        p.line(7, 9 + dy, 11, 5 + dy, colour)


def state_blank():
    return Picture()


def state_unchecked():
    return check_box(PAPER)


def state_checked():
    p = check_box(PAPER)
    tick(p, TICK)
    return p


def state_mixed():
    p = check_box(MIXED_GROUND)
    tick(p, MIXED_TICK)
    return p


def state_disabled():
    p = Picture()
    p.fill(2, 2, 14, 14, LIGHT_GREY)
    p.frame(2, 2, 14, 14, GREY)
    return p


# Item icons -------------------------------------------------------------

def globe(p, cx, cy, r, sea, rim):
    """A disc with a lighter meridian and equator."""
    p.disc(cx, cy, r, sea, rim)
    for y in range(SIZE):
        for x in range(SIZE):
            d2 = (x - cx) ** 2 + (y - cy) ** 2
            if d2 < (r - 1) ** 2 and (abs(x - cx) < 0.6 or abs(y - cy) < 0.6):
                p.dot(x, y, SKY)


def icon_browser():
    p = Picture()
    globe(p, 7.5, 7.5, 7.5, BLUE, DARK_BLUE)
    p.shape([
        " gg",
        "gggg",
        "ggg",
        " g",
    ], {"g": GREEN}, 3, 3)
    p.shape([
        "  g",
        " ggg",
        "gggg",
        " gg",
    ], {"g": GREEN}, 9, 8)
    return p


def icon_cookies():
    p = Picture()
    p.disc(7.5, 7.5, 7.5, BROWN, DARK_BROWN)
    # A bite out of the top right, edged like the rest of the cookie.
    bite = [(x, y) for y in range(SIZE) for x in range(SIZE) if (x - 14.0) ** 2 + (y - 1.5) ** 2 <= 3.6 ** 2]
    for x, y in bite:
        p.dot(x, y, CLEAR)
    for y in range(SIZE):
        for x in range(SIZE):
            near = any((x + dx, y + dy) in bite for dx in (-1, 0, 1) for dy in (-1, 0, 1))
            if near and p.pixels[y][x] != CLEAR:
                p.dot(x, y, DARK_BROWN)
    for x, y in ((4, 5), (5, 10), (9, 8), (7, 12)):
        p.fill(x, y, x + 1, y + 1, CHIP)
    for x, y in ((8, 4), (3, 8), (11, 11), (10, 5)):
        p.dot(x, y, CHIP)
    return p


def icon_history():
    p = Picture()
    p.disc(7.5, 7.5, 7.5, PAPER, DARK_BLUE)
    p.disc(7.5, 7.5, 6.5, PAPER, SKY)
    # Hour marks at 12, 3, 6 and 9.
    for x, y in ((7, 2), (8, 2), (13, 7), (13, 8), (7, 13), (8, 13), (2, 7), (2, 8)):
        p.dot(x, y, DARK_BLUE)
    # Hands: to twelve and to four.
    p.vline(7, 4, 8, INK)
    p.line(8, 8, 11, 10, INK)
    p.dot(7, 8, RED)
    p.dot(8, 7, RED)
    return p


def page(p, x0, y0, x1, y1, lines=True, fold=3):
    """A sheet of paper with a folded top right corner and lines of text."""
    p.fill(x0, y0, x1, y1, PAPER)
    p.frame(x0, y0, x1, y1, GREY)
    # Cut the corner off along the diagonal and draw the folded flap.
    for i in range(fold):
        for x in range(x1 - fold + 1 + i, x1 + 1):
            p.dot(x, y0 + i, CLEAR)
    p.line(x1 - fold, y0, x1, y0 + fold, GREY)
    p.vline(x1 - fold, y0, y0 + fold, GREY)
    p.hline(x1 - fold, x1, y0 + fold, GREY)
    for i in range(2, fold):
        p.hline(x1 - fold + 1, x1 - fold + i - 1, y0 + i, LIGHT_GREY)
    if lines:
        for y in range(y0 + fold + 2, y1 - 1, 2):
            p.hline(x0 + 2, x1 - 2, y, SKY)


def web_badge(p):
    """A small globe in the bottom right corner: content from the web."""
    p.disc(11.5, 11.5, 4.0, BLUE, DARK_BLUE)
    p.vline(11, 9, 14, SKY)
    p.vline(12, 9, 14, SKY)
    p.hline(9, 14, 11, GREEN)


def icon_cached_files():
    p = Picture()
    page(p, 4, 0, 14, 11, lines=False, fold=4)
    page(p, 1, 3, 11, 15, fold=4)
    # A small globe badge: pages that came from the web.
    web_badge(p)
    return p


def icon_typed_addresses():
    p = Picture()
    # An address field, dropped down to show the addresses typed before.
    p.fill(0, 1, 15, 7, PAPER)
    p.frame(0, 1, 15, 7, DARK_STEEL)
    p.fill(11, 2, 14, 6, LIGHT_GREY)
    p.vline(11, 2, 6, DARK_STEEL)
    p.hline(12, 14, 4, INK)
    p.dot(13, 5, INK)
    # Typed text and the caret.
    p.hline(2, 7, 4, INK)
    p.hline(2, 7, 5, GREY)
    p.vline(8, 3, 6, BLACK)
    # The list below: one entry highlighted, two more.
    p.fill(1, 8, 14, 15, PAPER)
    p.frame(1, 8, 14, 15, DARK_STEEL)
    p.fill(2, 9, 13, 10, BLUE)
    p.hline(3, 10, 9, SKY)
    p.hline(3, 11, 12, GREY)
    p.hline(3, 9, 14, GREY)
    return p


def icon_windows():
    p = Picture()
    # An application window: blue title bar with a close box, light client.
    p.fill(0, 1, 15, 14, PAPER)
    p.frame(0, 1, 15, 14, DARK_BLUE)
    p.fill(1, 2, 14, 4, BLUE)
    p.fill(12, 2, 14, 4, RED)
    p.dot(12, 2, DARK_RED)
    p.dot(14, 2, DARK_RED)
    p.dot(13, 3, PAPER)
    p.dot(12, 4, DARK_RED)
    p.dot(14, 4, DARK_RED)
    p.fill(2, 6, 6, 12, LIGHT_GREY)
    p.hline(8, 13, 7, SKY)
    p.hline(8, 13, 9, SKY)
    p.hline(8, 11, 11, SKY)
    return p


def icon_recent_documents():
    p = Picture()
    page(p, 1, 0, 12, 15, fold=4)
    # A small clock: documents opened lately.
    p.shape([
        "  kkk  ",
        " kpppk ",
        "kppkppk",
        "kppkkpk",
        "kpppppk",
        " kpppk ",
        "  kkk  ",
    ], {"k": DARK_GREEN, "p": PAPER}, 9, 9)
    return p


def folder(p, body, dark):
    p.fill(1, 3, 6, 4, body)
    p.frame(1, 3, 6, 4, dark)
    p.fill(1, 5, 14, 13, body)
    p.frame(1, 5, 14, 13, dark)
    p.hline(2, 13, 6, (255, 230, 140))


def icon_temporary_folder():
    p = Picture()
    folder(p, YELLOW, DARK_YELLOW)
    # An hourglass on the folder: its contents do not last.
    p.shape([
        "kkkkk",
        " kak ",
        "  k  ",
        " kak ",
        "kkkkk",
    ], {"k": INK, "a": DARK_ORANGE}, 8, 7)
    return p


def icon_recent_list():
    p = Picture()
    p.fill(1, 1, 14, 14, PAPER)
    p.frame(1, 1, 14, 14, DARK_STEEL)
    for i, y in enumerate((3, 6, 9, 12)):
        p.fill(3, y, 4, y + 1, (BLUE, GREEN, ORANGE, RED)[i])
        p.hline(6, 12 - 2 * (i % 2), y, INK)
        p.hline(6, 10, y + 1, GREY)
    return p


def icon_search():
    p = Picture()
    p.disc(6.0, 6.0, 5.5, SKY, INK)
    p.disc(6.0, 6.0, 4.5, SKY)
    p.dot(4, 4, PAPER)
    p.dot(5, 3, PAPER)
    p.dot(3, 5, PAPER)
    # The handle, three pixels thick.
    for d in range(5):
        x, y = 10 + d, 10 + d
        p.dot(x, y, DARK_BROWN)
        p.dot(x - 1, y, DARK_BROWN)
        p.dot(x, y - 1, DARK_BROWN)
    return p


def icon_accessories():
    p = Picture()
    # A pencil lying from bottom left to top right: s = x + y runs across
    # it, t = x - y along it, from the lead (t = -11) and the bare wood to the eraser (t = 13).
    for y in range(SIZE):
        for x in range(SIZE):
            s, t = x + y, x - y
            across = s - 13
            if abs(across) > 1 or not -11 <= t <= 13:
                continue
            if t <= -11:
                if across != 0:
                    continue
                colour = INK
            elif t <= -8:
                colour = (230, 190, 150)
            elif t <= 8:
                colour = (YELLOW, (255, 225, 120), DARK_YELLOW)[across]
            elif t <= 10:
                colour = STEEL
            else:
                colour = PINK
            p.dot(x, y, colour)
    # A ruler along the bottom.
    p.fill(0, 13, 15, 15, (140, 200, 140))
    p.frame(0, 13, 15, 15, DARK_GREEN)
    for x in range(2, 15, 2):
        p.dot(x, 14, DARK_GREEN)
    return p


def icon_other_browsers():
    p = Picture()
    globe(p, 5.5, 5.5, 5.5, ORANGE, DARK_ORANGE)
    globe(p, 10.0, 10.0, 5.8, GREEN, DARK_GREEN)
    return p


def icon_browser_cache():
    p = Picture()
    # A storage drum seen slightly from above, with two bands.
    cx, rx, ry, top, bottom = 7.0, 6.5, 2.4, 3.0, 12.0

    def in_ellipse(x, y, cy):
        return ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0

    def in_drum(x, y):
        return (abs(x - cx) <= rx and top <= y <= bottom) or in_ellipse(x, y, top) or in_ellipse(x, y, bottom)

    for y in range(SIZE):
        for x in range(SIZE):
            if not in_drum(x, y):
                continue
            edge = any(not in_drum(x + dx, y + dy) for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
            if edge:
                p.dot(x, y, DARK_STEEL)
            elif in_ellipse(x, y, top):
                p.dot(x, y, SKY)
            else:
                p.dot(x, y, STEEL)
    # The rim of the top face and the two bands follow the lower half of the
    # ellipse.
    for cy in (top, 6.5, 9.5):
        points = []
        for x in range(SIZE):
            u = (x - cx) / rx
            if abs(u) < 1:
                points.append((x, int(cy + ry * (1 - u * u) ** 0.5 + 0.5)))
        for (xa, ya), (xb, yb) in zip(points, points[1:]):
            p.line(xa, ya, xb, yb, DARK_STEEL)
    # A small globe badge: it holds web content.
    web_badge(p)
    return p


STATES = [state_blank, state_unchecked, state_checked, state_mixed, state_disabled]
ICONS = [
    icon_browser,           # 0
    icon_cookies,           # 1
    icon_history,           # 2
    icon_cached_files,      # 3
    icon_typed_addresses,   # 4
    icon_windows,           # 5
    icon_recent_documents,  # 6
    icon_temporary_folder,  # 7
    icon_recent_list,       # 8
    icon_search,            # 9
    icon_accessories,       # 10
    icon_other_browsers,    # 11
    icon_browser_cache,     # 12
]


def write_strip(path, pictures):
    """Writes the pictures side by side as one bottom-up 24-bit BMP."""
    width, height = SIZE * len(pictures), SIZE
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in reversed(range(height)):
        row = bytearray()
        for p in pictures:
            for r, g, b in p.pixels[y]:
                row += bytes((b, g, r))
        row += bytes(stride - len(row))
        rows.append(bytes(row))
    bits = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(bits), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(bits), 0, 0, 14 + len(info))
    with open(path, "wb") as f:
        f.write(header + info + bits)


def main():
    write_strip("checkstates.bmp", [draw() for draw in STATES])
    write_strip("jobicons.bmp", [draw() for draw in ICONS])


if __name__ == "__main__":
    main()
