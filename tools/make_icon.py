#!/usr/bin/env python3
"""Draws KeepFresh's icon, a green disc with a white circular arrow, and
writes it as app/KeepFresh.ico with 16x16, 32x32 and 48x48 images (32-bit
BGRA with an AND mask). Run it again after changing the drawing."""
import math
import os
import struct

def pixel(size, x, y):
    """Colour (b, g, r, a) at pixel centre (x, y), 4x4 supersampled."""
    acc = [0.0, 0.0, 0.0, 0.0]
    for sy in range(4):
        for sx in range(4):
            px = (x + (sx + 0.5) / 4) / size * 2 - 1
            py = 1 - (y + (sy + 0.5) / 4) / size * 2
            r = math.hypot(px, py)
            colour = None
            if r <= 0.96:
                colour = (60, 160, 40) if r > 0.88 else (80, 190, 60)  # rim, face (BGR order below)
                ang = math.degrees(math.atan2(py, px)) % 360
                # Arrow ring from 60 to 360 degrees, head at 60 pointing clockwise.
                if 0.42 <= r <= 0.62 and not (20 < ang < 70):
                    colour = (255, 255, 255)
                hx, hy = math.cos(math.radians(70)), math.sin(math.radians(70))
                # Triangle head near the gap, pointing clockwise (down-right).
                tip = (0.52 * math.cos(math.radians(20)), 0.52 * math.sin(math.radians(20)))
                a = (0.30 * hx, 0.30 * hy)
                b = (0.78 * hx, 0.78 * hy)
                if inside(px, py, a, b, tip):
                    colour = (255, 255, 255)
            if colour:
                acc[0] += colour[2]; acc[1] += colour[1]; acc[2] += colour[0]; acc[3] += 255
    n = 16
    a = acc[3] / n
    if a == 0:
        return (0, 0, 0, 0)
    return tuple(int(round(c / (acc[3] / 255))) for c in acc[:3]) + (int(round(a)),)

def inside(px, py, a, b, c):
    def side(p, q, r):
        return (p[0] - r[0]) * (q[1] - r[1]) - (q[0] - r[0]) * (p[1] - r[1])
    p = (px, py)
    d1, d2, d3 = side(p, a, b), side(p, b, c), side(p, c, a)
    neg = d1 < 0 or d2 < 0 or d3 < 0
    pos = d1 > 0 or d2 > 0 or d3 > 0
    return not (neg and pos)

def image(size):
    rows = []
    mask_rows = []
    stride = ((size + 31) // 32) * 4
    for y in reversed(range(size)):  # bottom-up
        row = b''
        bits = 0
        mask = bytearray(stride)
        for x in range(size):
            b, g, r, a = pixel(size, x, y)
            row += bytes((b, g, r, a))
            if a == 0:
                mask[x // 8] |= 0x80 >> (x % 8)
        rows.append(row)
        mask_rows.append(bytes(mask))
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    return header + b''.join(rows) + b''.join(mask_rows)

def main():
    sizes = (16, 32, 48)
    images = [image(s) for s in sizes]
    out = struct.pack('<HHH', 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack('<BBBBHHII', s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b''.join(images)
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'app', 'KeepFresh.ico')
    with open(path, 'wb') as f:
        f.write(out)

if __name__ == '__main__':
    main()
