#!/usr/bin/env python3
"""Draws the two drag cursors of the options window as 32 x 32 monochrome .cur files:
FileDrag (an arrow carrying a sheet) and NoDrop (a barred circle). Run it to redraw them."""
import math
import struct


def arrow(x, y):
    # The usual arrow: outline black, body white; None outside.
    if y < 0 or y > 16 or x < 0:
        return None
    if x > y:
        return None
    if y <= 11:
        edge = x == 0 or x == y or y == 11
        return 'b' if edge else 'w'
    return None


def file_drag(x, y):
    a = arrow(x, y)
    if a:
        return a
    # The sheet below and right of the arrow's tip.
    if 10 <= x <= 24 and 14 <= y <= 31:
        if x > 20 and y < 18 and (x - 20) > (y - 14):
            return None  # the folded corner
        edge = x in (10, 24) or y in (14, 31) or (x >= 20 and y <= 18 and x - 20 >= y - 14)
        if 12 <= x <= 21 and y in (19, 22, 25, 28):
            return 'b'
        return 'b' if edge else 'w'
    return None


def no_drop(x, y):
    cx, cy, r = 15.5, 15.5, 13.0
    d = math.hypot(x - cx, y - cy)
    if d > r:
        return None
    ring = d >= r - 3.5
    # The bar from top-left to bottom-right.
    bar = abs((x - cx) - (y - cy)) <= 2.5
    return 'b' if ring or bar else 'w'


def cursor(draw, hotspot):
    xor_rows, and_rows = [], []
    for y in range(31, -1, -1):  # bottom-up
        xor_bits = and_bits = 0
        for x in range(32):
            p = draw(x, y)
            bit = 1 << (31 - x)
            if p is None:
                and_bits |= bit
            elif p == 'w':
                xor_bits |= bit
        xor_rows.append(struct.pack('>I', xor_bits))
        and_rows.append(struct.pack('>I', and_bits))
    header = struct.pack('<IiiHHIIiiII', 40, 32, 64, 1, 1, 0, 256, 0, 0, 2, 2)
    palette = struct.pack('<II', 0x000000, 0xFFFFFF)
    image = header + palette + b''.join(xor_rows) + b''.join(and_rows)
    directory = struct.pack('<HHH', 0, 2, 1)
    entry = struct.pack('<BBBBHHII', 32, 32, 0, 0, hotspot[0], hotspot[1], len(image), 6 + 16)
    return directory + entry + image


with open('FileDrag.cur', 'wb') as f:
    f.write(cursor(file_drag, (0, 0)))
with open('NoDrop.cur', 'wb') as f:
    f.write(cursor(no_drop, (15, 15)))
