#!/usr/bin/env python3
"""Draws the program's bitmaps as SVG files into this folder.

Run it from anywhere: python3 draw_bitmaps.py
Every picture is built from the same palette and stroke widths so that the
set looks alike; shapes sit on whole pixels so edges stay sharp at 1x.
Letters are drawn as shapes (a small 5x7 pixel font, and bolder letters for
the logo), never taken from a system font.
"""

import math
import os

HERE = os.path.dirname(os.path.abspath(__file__))

# Palette of the coloured pictures.
COLOUR = {
    "ink": "#1d2733",  # outlines, dark parts
    "blue": "#1565c0",
    "green": "#2e9b3e",
    "red": "#d32f2f",
    "amber": "#f29f05",
    "amberdark": "#a86a00",
    "steel": "#5d6b7a",
    "light": "#d3d8de",  # unlit signal waves
    "white": "#ffffff",
}

# Same keys, neutral greys only: the inactive placeholders.
GREY = {
    "ink": "#9aa0a7",
    "blue": "#b5bbc2",
    "green": "#a9afb6",
    "red": "#b5bbc2",
    "amber": "#c6cbd1",
    "amberdark": "#9aa0a7",
    "steel": "#a9afb6",
    "light": "#e3e6e9",
    "white": "#ffffff",
}

THIN = 2  # outlines and lines
BOLD = 3  # arrows, waves, the red cross

FONT = {
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "B": ["####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."],
    "D": ["####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "I": [".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "N": ["#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", "#...#"],
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "S": [".####", "#....", "#....", ".###.", "....#", "....#", "####."],
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "V": ["#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    " ": [".....", ".....", ".....", ".....", ".....", ".....", "....."],
}
GLYPH_W = 5


def text_width(text, scale=1):
    return len(text) * (GLYPH_W + 1) * scale - scale


def pixel_text(text, x, y, colour, scale=1):
    """Letters as one path of whole-pixel runs."""
    glyph_w = GLYPH_W
    parts = []
    for i, ch in enumerate(text):
        rows = FONT[ch]
        gx = x + i * (glyph_w + 1) * scale
        for r, row in enumerate(rows):
            c = 0
            while c < len(row):
                if row[c] != "#":
                    c += 1
                    continue
                start = c
                while c < len(row) and row[c] == "#":
                    c += 1
                parts.append("M%d %dh%dv%dh%dz" % (gx + start * scale, y + r * scale,
                                                   (c - start) * scale, scale,
                                                   -(c - start) * scale))
    return '<path fill="%s" d="%s"/>' % (colour, "".join(parts))


def fmt(v):
    s = ("%.2f" % v).rstrip("0").rstrip(".")
    return "0" if s == "-0" else s


def rect(x, y, w, h, fill, rx=0):
    r = ' rx="%s"' % fmt(rx) if rx else ""
    return '<rect x="%s" y="%s" width="%s" height="%s"%s fill="%s"/>' % (
        fmt(x), fmt(y), fmt(w), fmt(h), r, fill)


def line(x1, y1, x2, y2, colour, width=THIN, cap="butt"):
    return ('<line x1="%s" y1="%s" x2="%s" y2="%s" stroke="%s" stroke-width="%s" '
            'stroke-linecap="%s"/>' % (fmt(x1), fmt(y1), fmt(x2), fmt(y2), colour, width, cap))


def poly(points, fill):
    return '<polygon points="%s" fill="%s"/>' % (
        " ".join("%s,%s" % (fmt(x), fmt(y)) for x, y in points), fill)


def polar(cx, cy, r, deg):
    a = math.radians(deg)
    return cx + r * math.cos(a), cy + r * math.sin(a)


def arc(cx, cy, r, a0, a1, colour, width=BOLD, cap="butt"):
    """Arc from angle a0 to a1 (degrees, clockwise on screen)."""
    x0, y0 = polar(cx, cy, r, a0)
    x1, y1 = polar(cx, cy, r, a1)
    large = 1 if (a1 - a0) % 360 > 180 else 0
    return ('<path d="M%s %sA%s %s 0 %d 1 %s %s" fill="none" stroke="%s" stroke-width="%s" '
            'stroke-linecap="%s"/>' % (fmt(x0), fmt(y0), fmt(r), fmt(r), large, fmt(x1),
                                        fmt(y1), colour, width, cap))


def arrow(x0, x1, cy, colour, right=True, head=6, half=5):
    """Horizontal arrow, shaft BOLD high; cy is a pixel centre (n + 0.5)."""
    if right:
        return [rect(x0, cy - 1.5, x1 - x0 - head + 1, BOLD, colour),
                poly([(x1 - head, cy - half), (x1, cy), (x1 - head, cy + half)], colour)]
    return [rect(x0 + head - 1, cy - 1.5, x1 - x0 - head + 1, BOLD, colour),
            poly([(x0 + head, cy - half), (x0, cy), (x0 + head, cy + half)], colour)]


def svg(w, h, body, title):
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" '
            'viewBox="0 0 %d %d" shape-rendering="geometricPrecision">\n'
            '<title>%s</title>\n%s\n</svg>\n' % (w, h, w, h, title, "\n".join(body)))


# ---------------------------------------------------------------- emblem ---


def emblem(x, y, size, p):
    """Rounded square with a mast sending waves: the program's mark."""
    cx = x + size // 2  # size is even: the mast is 2 pixels wide on whole pixels
    cy = y + round(size * 0.42)
    foot = 2 * round(size * 0.2)
    body = [rect(x, y, size, size, p["blue"], rx=size * 0.2)]
    body.append(rect(cx - 1, cy, 2, y + size - 4 - cy, p["white"]))
    body.append(rect(cx - foot // 2, y + size - 5, foot, 2, p["white"]))
    body.append('<circle cx="%s" cy="%s" r="%s" fill="%s"/>' %
                (fmt(cx), fmt(cy), fmt(size * 0.09), p["white"]))
    for r in (size * 0.2, size * 0.36):
        body.append(arc(cx, cy, r, -50, 50, p["white"], width=THIN))
        body.append(arc(cx, cy, r, 130, 230, p["white"], width=THIN))
    return body


def icon_app(p):
    return emblem(0, 0, 32, p)


# Logo letters: 9 x 18 pixels, strokes 3 pixels wide, as rectangles (x, y, w, h)
# or polygons (list of points) inside the letter box.
LOGO_H = 18
_MID = (LOGO_H - 3) // 2
LOGO_GLYPHS = {
    "T": [(0, 0, 9, 3), (3, 3, 3, LOGO_H - 3)],
    "E": [(0, 0, 3, LOGO_H), (3, 0, 6, 3), (3, _MID, 5, 3), (3, LOGO_H - 3, 6, 3)],
    "S": [(1, 0, 8, 3), (0, 1, 3, _MID + 1), (1, _MID, 7, 3), (6, _MID + 1, 3, LOGO_H - _MID - 2),
          (0, LOGO_H - 3, 8, 3)],
    "A": [(1, 0, 7, 3), (0, 1, 3, LOGO_H - 1), (6, 1, 3, LOGO_H - 1), (3, _MID, 3, 3)],
    "D": [(0, 0, 3, LOGO_H), (3, 0, 5, 3), (3, LOGO_H - 3, 5, 3), (6, 1, 3, LOGO_H - 2)],
    "O": [(1, 0, 7, 3), (0, 1, 3, LOGO_H - 2), (6, 1, 3, LOGO_H - 2), (1, LOGO_H - 3, 7, 3)],
    "R": [(0, 0, 3, LOGO_H), (3, 0, 5, 3), (6, 1, 3, _MID - 1), (3, _MID, 5, 3),
          (6, _MID + 3, 3, LOGO_H - _MID - 3)],
    "N": [(0, 0, 3, LOGO_H), (6, 0, 3, LOGO_H),
          [(3, 0), (6, LOGO_H // 2), (6, LOGO_H), (3, LOGO_H // 2)]],
}
LOGO_ADVANCE = 12


def logo_word(word, x, y, colour):
    parts = []
    for i, ch in enumerate(word):
        gx = x + i * LOGO_ADVANCE
        for shape in LOGO_GLYPHS[ch]:
            if isinstance(shape, list):
                parts.append("M" + "L".join("%d %d" % (gx + px, y + py) for px, py in shape) + "z")
            else:
                sx, sy, w, h = shape
                parts.append("M%d %dh%dv%dh%dz" % (gx + sx, y + sy, w, h, -w))
    return '<path fill="%s" d="%s"/>' % (colour, "".join(parts))


def logo(p):
    word = "TESSADORN"
    width = len(word) * LOGO_ADVANCE - (LOGO_ADVANCE - 9)
    body = emblem(2, 2, 26, p)
    x = 34 + (150 - 34 - width) // 2
    body.append(logo_word(word, x, (30 - LOGO_H) // 2, p["ink"]))
    return body


# ------------------------------------------------------------ role pictures ---


def gnss_antenna(cx, top, half, p):
    """Flat dome antenna: dome over a dark ground plate."""
    dome_h = max(3, round(half * 0.55))
    return [
        '<path d="M%s %sA%s %s 0 0 1 %s %sz" fill="%s"/>' %
        (fmt(cx - half + 2), fmt(top + dome_h), fmt(half - 2), fmt(dome_h), fmt(cx + half - 2),
         fmt(top + dome_h), p["blue"]),
        rect(cx - half, top + dome_h, 2 * half, 3, p["ink"], rx=1),
    ]


def modem_box(x, y, w, h, p):
    """The modem: blue box with a status light and a short aerial stub."""
    return [
        rect(x, y, w, h, p["blue"], rx=2),
        rect(x + 3, y + 3, w - 6, 2, p["white"]),
        rect(x + 3, y + h - 6, 3, 3, p["green"]),
    ]


def rover(p):
    w, h = 64, 100
    cx = 32
    body = []
    body += gnss_antenna(cx, 6, 16, p)
    body.append(rect(cx - 2, 17, 4, 78, p["steel"]))
    body.append(poly([(cx - 2, 95), (cx + 2, 95), (cx, 99)], p["steel"]))
    # Modem clamped to the pole.
    body.append(rect(cx - 4, 44, 8, 4, p["ink"]))
    body.append(rect(cx - 4, 62, 8, 4, p["ink"]))
    body += modem_box(cx + 4, 38, 20, 32, p)
    body.append(rect(cx + 18, 26, 3, 12, p["ink"]))
    # A level bubble near the grip.
    body.append(rect(cx - 7, 78, 14, 4, p["ink"], rx=1))
    return w, h, body


def base(p):
    w, h = 82, 100
    cx = 36
    body = []
    body += gnss_antenna(cx, 6, 16, p)
    body.append(rect(cx - 2, 17, 4, 30, p["steel"]))
    body.append(rect(cx - 8, 46, 16, 5, p["ink"], rx=1))
    legs = [(cx - 3, 50, 8, 98), (cx + 3, 50, 64, 98), (cx, 50, cx, 96)]
    for x1, y1, x2, y2 in legs:
        body.append(line(x1, y1, x2, y2, p["steel"], width=4, cap="round"))
    # Modem hanging from the tripod head with its radio aerial.
    body.append(rect(cx + 8, 47, 10, 3, p["ink"]))
    body += modem_box(cx + 14, 42, 20, 28, p)
    body.append(rect(cx + 29, 12, 3, 30, p["ink"]))
    body.append('<circle cx="%s" cy="12" r="3" fill="%s"/>' % (fmt(cx + 30.5), p["ink"]))
    for r in (6, 10):
        body.append(arc(cx + 30.5, 12, r, -50, 40, p["ink"], width=THIN))
    return w, h, body


# ------------------------------------------------------------------ signal ---


def handset(colour, p):
    return [
        rect(5, 2, 3, 6, colour),
        rect(3, 6, 12, 23, colour, rx=2),
        rect(5, 9, 8, 7, p["white"]),
        rect(5, 19, 2, 2, p["white"]),
        rect(8, 19, 2, 2, p["white"]),
        rect(11, 19, 2, 2, p["white"]),
        rect(5, 23, 2, 2, p["white"]),
        rect(8, 23, 2, 2, p["white"]),
        rect(11, 23, 2, 2, p["white"]),
    ]


WAVE_RADII = (7, 12, 17, 22)


def waves(lit, colour, p):
    body = []
    for i, r in enumerate(WAVE_RADII):
        c = colour if i < lit else p["light"]
        body.append(arc(13, 15.5, r, -38, 38, c, width=BOLD))
    return body


def signal(level, p):
    def make():
        if level < 0:
            body = handset(p["steel"], p)
            body.append(line(20, 9, 32, 21, p["red"], width=4, cap="round"))
            body.append(line(32, 9, 20, 21, p["red"], width=4, cap="round"))
            return body
        if level == 0:
            return handset(p["steel"], p) + waves(4, p["steel"], p)
        colour = {1: p["red"], 2: p["green"], 3: p["green"], 4: p["blue"]}[level]
        return handset(colour, p) + waves(level, colour, p)

    return 37, 31, make()


# ---------------------------------------------------------------- buttons ---


def monitor(p):
    return [
        rect(6, 1, 25, 17, p["ink"], rx=2),
        rect(8, 3, 21, 13, p["blue"]),
        rect(10, 5, 12, 2, p["white"]),
        rect(10, 8, 16, 2, p["white"]),
        rect(10, 11, 9, 2, p["white"]),
        rect(16, 18, 5, 3, p["ink"]),
        rect(11, 21, 15, 2, p["ink"]),
    ]


def tower(x, p):
    """Lattice radio tower 12 px wide from column x."""
    cx = x + 6
    return [
        line(cx, 5, x + 1, 23, p["ink"], width=THIN),
        line(cx, 5, x + 11, 23, p["ink"], width=THIN),
        line(x + 3.5, 14, x + 8.5, 14, p["ink"], width=THIN),
        line(x + 2.5, 19, x + 9.5, 19, p["ink"], width=THIN),
        '<circle cx="%s" cy="4" r="2.5" fill="%s"/>' % (fmt(cx), p["red"]),
    ]


def rover_small(x, p):
    """Rover pole with its antenna, 11 px wide from column x."""
    cx = x + 5.5
    return [
        '<path d="M%s 5A4 3 0 0 1 %s 5z" fill="%s"/>' % (fmt(cx - 4), fmt(cx + 4), p["blue"]),
        rect(x, 5, 11, 2, p["ink"]),
        rect(x + 4, 7, 3, 16, p["steel"]),
        rect(x + 7, 12, 4, 6, p["blue"]),
    ]


def to_client(p):
    return tower(1, p) + arrow(14, 24, 12.5, p["green"]) + rover_small(26, p)


def to_server(p):
    return rover_small(0, p) + arrow(13, 23, 12.5, p["green"]) + tower(24, p)


def mode_grey(p):
    return (tower(1, p) + arrow(14, 24, 8.5, p["green"], head=5, half=4) +
            arrow(14, 24, 16.5, p["green"], right=False, head=5, half=4) + rover_small(26, p))


def connect(p):
    return arrow(1, 14, 12.5, p["green"]) + [
        rect(16, 8, 6, 2, p["steel"]),
        rect(16, 15, 6, 2, p["steel"]),
        rect(22, 5, 9, 15, p["ink"], rx=2),
        rect(31, 11, 6, 3, p["ink"]),
    ]


def stadium(x, y, w, h, colour):
    return ('<rect x="%s" y="%s" width="%s" height="%s" rx="%s" fill="none" stroke="%s" '
            'stroke-width="%s"/>' % (fmt(x), fmt(y), fmt(w), fmt(h), fmt(h / 2), colour, BOLD))


def broken_link(p):
    return [
        stadium(2.5, 7.5, 13, 9, p["blue"]),
        stadium(21.5, 7.5, 13, 9, p["blue"]),
        line(11, 12, 15, 12, p["blue"], width=BOLD),
        line(22, 12, 26, 12, p["blue"], width=BOLD),
        line(18.5, 1, 18.5, 5, p["red"], width=THIN),
        line(18.5, 19, 18.5, 23, p["red"], width=THIN),
        line(14, 2, 16, 5, p["red"], width=THIN),
        line(23, 2, 21, 5, p["red"], width=THIN),
        line(14, 22, 16, 19, p["red"], width=THIN),
        line(23, 22, 21, 19, p["red"], width=THIN),
    ]


def tripod(p):
    cx = 18.5
    return [
        '<path d="M%s 6A7 4 0 0 1 %s 6z" fill="%s"/>' % (fmt(cx - 7), fmt(cx + 7), p["blue"]),
        rect(cx - 9.5, 6, 19, 3, p["ink"], rx=1),
        rect(cx - 1.5, 9, 3, 4, p["steel"]),
        rect(cx - 4.5, 12, 9, 3, p["ink"]),
        line(cx - 2, 15, cx - 10, 23, p["steel"], width=BOLD),
        line(cx + 2, 15, cx + 10, 23, p["steel"], width=BOLD),
        line(cx, 15, cx, 23, p["steel"], width=BOLD),
    ]


def sim(p):
    return [
        '<path d="M6 2H25L31 8V22H6z" fill="%s"/>' % p["blue"],
        rect(10, 8, 14, 10, p["amber"], rx=1),
        rect(10, 12, 14, 2, p["amberdark"]),
        rect(16, 8, 2, 10, p["amberdark"]),
    ]


def refresh(p):
    cx, cy, r = 18.5, 12, 8
    body = []
    for a0, a1 in ((200, 330), (20, 150)):
        body.append(arc(cx, cy, r, a0, a1, p["green"], width=BOLD))
        ex, ey = polar(cx, cy, r, a1)
        tx, ty = -math.sin(math.radians(a1)), math.cos(math.radians(a1))
        nx, ny = math.cos(math.radians(a1)), math.sin(math.radians(a1))
        body.append(poly([(ex + tx * 5, ey + ty * 5), (ex + nx * 4.5, ey + ny * 4.5),
                          (ex - nx * 4.5, ey - ny * 4.5)], p["green"]))
    return body


def globe(p):
    cx, cy = 18, 12  # whole-pixel centre so that the 2-pixel grid lines stay sharp
    return [
        '<circle cx="%s" cy="%s" r="11" fill="%s"/>' % (fmt(cx), fmt(cy), p["blue"]),
        '<ellipse cx="%s" cy="%s" rx="5" ry="10" fill="none" stroke="%s" stroke-width="1.5"/>'
        % (fmt(cx), fmt(cy), p["white"]),
        rect(cx - 1, cy - 10, 2, 20, p["white"]),
        rect(cx - 10, cy - 1, 20, 2, p["white"]),
        rect(cx - 9, cy - 6, 18, 1, p["white"]),
        rect(cx - 9, cy + 5, 18, 1, p["white"]),
    ]


# ------------------------------------------------------------ cable frames ---

SOCKETS = {"rover": 45, "base": 110}
PLUG_STEP = 7
SOCKET_BOTTOM = 57


def cable_frame(target, step, p):
    """The modem's two sockets seen from below, the plug `step` stages away from `target`."""
    body = [rect(8, 3, 134, 44, p["blue"], rx=4)]
    body.append(pixel_text("TESSADORN", 75 - text_width("TESSADORN") // 2, 8, p["white"]))
    body.append(rect(127, 9, 5, 5, p["green"]))
    for name, label in (("rover", "RADIO ROVER"), ("base", "BASE")):
        cx = SOCKETS[name]
        body.append(pixel_text(label, cx - text_width(label) // 2, 33, p["white"]))
    # The plug and cable, drawn under the sockets so that an inserted plug hides its pin.
    cx = SOCKETS[target]
    top = SOCKET_BOTTOM + step * PLUG_STEP
    body.append(rect(cx - 3, top + 22, 6, 108 - top - 22, p["ink"]))
    body.append(rect(cx - 6, top + 16, 12, 7, p["ink"], rx=1))
    body.append(rect(cx - 4, top - 7, 8, 8, p["steel"]))
    body.append(rect(cx - 10, top, 20, 17, p["amber"], rx=2))
    body.append(rect(cx - 5, top + 3, 2, 11, p["amberdark"]))
    body.append(rect(cx + 3, top + 3, 2, 11, p["amberdark"]))
    for name in ("rover", "base"):
        sx = SOCKETS[name]
        body.append(rect(sx - 12, 47, 24, SOCKET_BOTTOM - 47, p["ink"]))
        body.append(rect(sx - 12, 51, 24, 2, p["steel"]))
    if step > 0:
        # Arrow from the plug up to its socket.
        ax = cx + 19
        tip = SOCKET_BOTTOM + 1
        body.append(rect(ax - 1, tip + 6, 3, top + 10 - tip - 6, p["green"]))
        body.append(poly([(ax - 5.5, tip + 8), (ax + 0.5, tip), (ax + 6.5, tip + 8)], p["green"]))
    return 150, 108, body


# ----------------------------------------------------------------- table ---


def fixed(w, h, fn, pal):
    return lambda: (w, h, fn(pal))


PICTURES = {
    128: ("application icon", lambda: (32, 32, icon_app(COLOUR))),
    142: ("client role: antenna pole with the modem", lambda: rover(COLOUR)),
    145: ("server role: tripod with antenna, modem and radio aerial", lambda: base(COLOUR)),
    151: ("signal: no SIM or no network", lambda: signal(-1, COLOUR)),
    152: ("signal level 0", lambda: signal(0, COLOUR)),
    153: ("signal level 1", lambda: signal(1, COLOUR)),
    154: ("signal level 2", lambda: signal(2, COLOUR)),
    155: ("signal level 3", lambda: signal(3, COLOUR)),
    156: ("signal level 4", lambda: signal(4, COLOUR)),
    157: ("TESSADORN logo", lambda: (150, 30, logo(COLOUR))),
    158: ("caster configuration", fixed(37, 24, monitor, COLOUR)),
    159: ("change to client", fixed(37, 24, to_client, COLOUR)),
    160: ("connect", fixed(37, 24, connect, COLOUR)),
    161: ("disconnect", fixed(37, 24, broken_link, COLOUR)),
    162: ("GPS position source", fixed(37, 24, tripod, COLOUR)),
    163: ("APN settings", fixed(37, 24, sim, COLOUR)),
    164: ("change to server", fixed(37, 24, to_server, COLOUR)),
    165: ("APN settings, inactive", fixed(37, 24, sim, GREY)),
    167: ("mode change, inactive", fixed(37, 24, mode_grey, GREY)),
    168: ("connect, inactive", fixed(37, 24, connect, GREY)),
    169: ("GPS position source, inactive", fixed(37, 24, tripod, GREY)),
    185: ("firmware update", fixed(37, 24, refresh, COLOUR)),
    188: ("relay service", fixed(37, 24, globe, COLOUR)),
}
for i in range(5):
    PICTURES[171 + i] = ("cable to RADIO ROVER, stage %d" % (i + 1),
                         (lambda s: lambda: cable_frame("rover", s, COLOUR))(i))
    PICTURES[179 + i] = ("cable to BASE, stage %d" % (i + 1),
                         (lambda s: lambda: cable_frame("base", s, COLOUR))(i))


def main():
    for number, (title, make) in sorted(PICTURES.items()):
        w, h, body = make()
        with open(os.path.join(HERE, "%d.svg" % number), "w", encoding="utf-8") as f:
            f.write(svg(w, h, body, title))


if __name__ == "__main__":
    main()
