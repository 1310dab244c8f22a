#!/usr/bin/env python3
"""Draws the program's icon, app/corvasi.ico: a grey tile with a faceted
triangle in red and cyan, offset as the two eyes of an anaglyph see it.
Deterministic: the same script always writes the same bytes."""
import struct
import sys

def inside(px, py, tri):
    (ax, ay), (bx, by), (cx, cy) = tri
    def side(x1, y1, x2, y2, x, y):
        return (x2 - x1) * (y - y1) - (y2 - y1) * (x - x1)
    d1 = side(ax, ay, bx, by, px, py)
    d2 = side(bx, by, cx, cy, px, py)
    d3 = side(cx, cy, ax, ay, px, py)
    neg = d1 < 0 or d2 < 0 or d3 < 0
    pos = d1 > 0 or d2 > 0 or d3 > 0
    return not (neg and pos)

def render(size):
    s = size / 32.0
    tri = [(16 * s, 5 * s), (28 * s, 26 * s), (4 * s, 26 * s)]
    shift = 1.5 * s
    left = [(x - shift, y) for x, y in tri]
    right = [(x + shift, y) for x, y in tri]
    rows = []
    samples = 4
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(samples):
                for sx in range(samples):
                    fx = x + (sx + 0.5) / samples
                    fy = y + (sy + 0.5) / samples
                    # rounded tile
                    m = 1.0 * s
                    r = 6 * s
                    cx = min(max(fx, m + r), size - m - r)
                    cy = min(max(fy, m + r), size - m - r)
                    if (fx - cx) ** 2 + (fy - cy) ** 2 > r * r:
                        continue
                    red = 0.3
                    cyan = 0.3
                    if inside(fx, fy, left):
                        red = 0.95
                    if inside(fx, fy, right):
                        cyan = 0.9
                    acc[0] += red
                    acc[1] += cyan
                    acc[2] += cyan
                    acc[3] += 1.0
            n = samples * samples
            a = acc[3] / n
            if a == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(int(round(255 * c / acc[3])) for c in acc[:3]) + (int(round(255 * a)),))
        rows.append(row)
    return rows

def icon_image(size):
    rows = render(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b''
    for row in reversed(rows):  # bottom-up
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = b''
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return header + pixels + mask

def main(path):
    sizes = [16, 32, 48]
    images = [icon_image(s) for s in sizes]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, data in zip(sizes, images):
        out += struct.pack('<BBBBHHII', s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    with open(path, 'wb') as f:
        f.write(out)

if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'app/corvasi.ico')
