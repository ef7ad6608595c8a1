#!/usr/bin/env python3
"""Writes the dialog chrome "BMP_GRAY_DIALOG" (8 bits per pixel) and the slider knob "BMP_H_THUMB".

Run from the resources folder: python3 tools/make-dialog-bitmaps.py
"""
from bmpfile import bgr, mix, write_bmp24, write_bmp8


KEY = bgr(0x33081A)        # cut away: the corners are round
FORM = bgr(0xE7EFEF)       # the gray dialog's background
TOP, MID, BOTTOM = bgr(0xE2A590), bgr(0xDA9280), bgr(0xC35A4F)
H = 18
STRIP = [mix(TOP, MID, y / 8) if y <= 8 else mix(MID, BOTTOM, (y - 8) / 9) for y in range(H)]

# The frame, outside to inside.
O, M, I = (0x3A, 0x4A, 0xA0), (0x78, 0x8E, 0xD8), (0x98, 0xAC, 0xE6)
S, B = STRIP[0], FORM
CORNERS = {
    # (x, y) of the 5 x 4 region: its rows top to bottom
    (48, 0): [[KEY, KEY, O, O, O], [KEY, O, M, M, M], [O, M, I, I, I], [O, M, I, S, S]],
    (48, 9): [[O, O, O, KEY, KEY], [M, M, M, O, KEY], [I, I, I, M, O], [S, S, I, M, O]],
    (48, 5): [[O, M, I, B, B], [O, M, I, I, I], [KEY, O, M, M, M], [KEY, KEY, O, O, O]],
    (48, 14): [[B, B, I, M, O], [I, I, I, M, O], [M, M, M, O, KEY], [O, O, O, KEY, KEY]],
}

# Close button looks: face top and bottom, cross colour, cross offset.
LOOKS = [((0xB4, 0xC4, 0xF0), (0x70, 0x86, 0xD2), (0xFF, 0xFF, 0xFF), 0),
         ((0xD6, 0xE0, 0xFA), (0x90, 0xA6, 0xE6), (0xFF, 0xFF, 0xFF), 0),
         ((0x5C, 0x70, 0xC0), (0x7C, 0x92, 0xD8), (0xF0, 0xF0, 0xF0), 1)]
EDGE = (0x34, 0x46, 0x9C)


def face(x, y):
    if not (1 <= x <= 14 and 1 <= y <= 14):
        return False
    return not (x in (1, 14) and y in (1, 14))


def close_pixel(x, y, look):
    top, bottom, cross, shift = LOOKS[look]
    if not face(x, y):
        return STRIP[y]
    if any(not face(x + dx, y + dy) for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1))):
        return EDGE
    cx, cy = x - shift, y - shift
    if 4 <= cx <= 11 and 4 <= cy <= 11 and (cx - cy in (0, 1) or cx + cy - 15 in (0, -1)):
        return cross
    return mix(top, bottom, (y - 2) / 11)


def gray_dialog():
    rows = [[FORM] * 54 for _ in range(H)]
    for look in range(3):
        for y in range(16):
            for x in range(16):
                rows[y][16 * look + x] = close_pixel(x, y, look)
    for (cx, cy), corner in CORNERS.items():
        for y, line in enumerate(corner):
            for x, p in enumerate(line):
                rows[cy + y][cx + x] = p
    for y in range(H):
        rows[y][53] = STRIP[y]
    return rows


def thumb():
    knob_top, knob_bottom = (0xC8, 0xD2, 0xE6), (0x7A, 0x8A, 0xAA)
    rows = []
    for y in range(14):
        row = []
        for x in range(8):
            if x in (0, 7) and y in (0, 13):
                row.append(FORM)
            elif x in (0, 7) or y in (0, 13):
                row.append((0x4E, 0x5C, 0x7E))
            else:
                row.append(mix(knob_top, knob_bottom, (y - 1) / 11))
        rows.append(row)
    return rows


write_bmp8('images/bmp-gray-dialog.bmp', gray_dialog())
write_bmp24('images/bmp-h-thumb.bmp', thumb())
