#!/usr/bin/env python3
"""Writes the frame's bitmaps: the two caption columns and the caption button strip.

Run from the resources folder: python3 tools/make-frame-bitmaps.py
"""
import math

from bmpfile import mix, rgb, write_bmp24

# The caption columns, top to bottom, as RGB.
ACTIVE = [0x90A8E9, 0x8EA6E8, 0x87A0E2, 0x8DA6E8, 0x87A0E2, 0x839BE2, 0x839CE0,
          0x89A2E6, 0x839CE0, 0x7B94DC, 0x8098DE, 0x869EE4, 0x8098DE, 0x748DD9,
          0x7A93DA, 0x8099E0, 0x7A93DA, 0x6F89D5, 0x425CAB]
INACTIVE = [(g << 16) | (g << 8) | g for g in
            [0xA7, 0xA5, 0x9E, 0xA4, 0x9F, 0x9B, 0x9A, 0xA0, 0x9B, 0x93, 0x97, 0x9D,
             0x97, 0x8D, 0x93, 0x98, 0x92, 0x89, 0x5F]]

CELL_W, CELL_H = 16, 17


# Face colours (top, bottom) and glyph offset of the normal, pointer-over and pressed looks.
LOOKS = [((150, 172, 236), (96, 122, 208), 0),
         ((190, 206, 250), (128, 154, 232), 0),
         ((92, 112, 192), (66, 88, 168), 1)]
BORDER = (40, 62, 140)
WHITE = (255, 255, 255)


def inside_face(x, y):
    # A rounded square from (1, 1) to (14, 15), corners cut by one pixel.
    if not (1 <= x <= 14 and 1 <= y <= 15):
        return False
    return not ((x in (1, 14)) and (y in (1, 15)))


def on_border(x, y):
    if not inside_face(x, y):
        return False
    return any(not inside_face(x + dx, y + dy) for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))


def glyph_minimise(x, y):
    return 1.0 if 4 <= x <= 11 and 10 <= y <= 11 else 0.0


def box(x, y, left, top, right, bottom):
    if not (left <= x <= right and top <= y <= bottom):
        return 0.0
    edge = x in (left, right) or y in (bottom, top, top + 1)
    return 1.0 if edge else 0.0


def glyph_maximise(x, y):
    return box(x, y, 4, 4, 11, 11)


def glyph_restore(x, y):
    front = (3, 6, 9, 12)
    if front[0] <= x <= front[2] and front[1] <= y <= front[3]:
        return box(x, y, *front)
    return box(x, y, 6, 3, 12, 9)


def glyph_power(x, y):
    # A ring open at the top with a bar through the gap; coverage from 4 x 4 samples.
    hits = 0
    for sy in range(4):
        for sx in range(4):
            px, py = x + (sx + 0.5) / 4, y + (sy + 0.5) / 4
            dx, dy = px - 8.0, py - 9.0
            r = math.hypot(dx, dy)
            angle = math.degrees(math.atan2(dx, -dy))
            ring = 3.4 <= r <= 5.0 and abs(angle) > 40
            bar = 7.0 <= px <= 9.0 and 2.5 <= py <= 9.0
            hits += ring or bar
    return hits / 16


GLYPHS = [glyph_minimise, glyph_maximise, glyph_restore, glyph_power]


def button_strip():
    rows = [[None] * (CELL_W * 12) for _ in range(CELL_H)]
    for g, glyph in enumerate(GLYPHS):
        for look, (top, bottom, shift) in enumerate(LOOKS):
            cell = g * 3 + look
            for y in range(CELL_H):
                for x in range(CELL_W):
                    if not inside_face(x, y):
                        colour = rgb(ACTIVE[y])
                    elif on_border(x, y):
                        colour = BORDER
                    else:
                        colour = mix(top, bottom, (y - 2) / 12)
                        colour = mix(colour, WHITE, glyph(x - shift, y - shift))
                    rows[y][cell * CELL_W + x] = colour
    return rows


write_bmp24('images/bmp-act-cap.bmp', [[rgb(v)] for v in ACTIVE])
write_bmp24('images/bmp-inact-cap.bmp', [[rgb(v)] for v in INACTIVE])
write_bmp24('images/bmp-buttons.bmp', button_strip())
