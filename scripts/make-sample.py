#!/usr/bin/env python3
"""Writes the sample mesh shipped in samples/: a torus with
a texture of its own (a 256 x 128 TGA), its material library, and a plain
second material for the inner ring. Deterministic output."""
import math
import struct

def texture(width, height):
    # Warm and cool bands with a checker, so that turning and the texture's
    # orientation are easy to see. Stored top-down (descriptor 0x20).
    rows = []
    for y in range(height):
        row = bytearray()
        for x in range(width):
            band = (x * 8) // width
            check = ((x // 16) + (y // 16)) % 2
            r, g, b = [(230, 120, 40), (240, 200, 60), (80, 170, 90), (60, 140, 210)][band % 4]
            if check:
                r, g, b = r * 3 // 4, g * 3 // 4, b * 3 // 4
            if y < 6:  # a dark line along the top edge of the picture
                r, g, b = 30, 30, 30
            row += bytes((b, g, r))
        rows.append(bytes(row))
    header = struct.pack('<BBBHHBHHHHBB', 0, 0, 2, 0, 0, 0, 0, 0, width, height, 24, 0x20)
    return header + b''.join(rows)

def main():
    major, minor = 48, 24
    R, r = 62.0, 24.0
    lines = ['# Corvasi sample: a textured torus', 'mtllib torus.mtl', 'o torus']
    for i in range(major + 1):
        for j in range(minor + 1):
            u = i / major * 2 * math.pi
            v = j / minor * 2 * math.pi
            x = (R + r * math.cos(v)) * math.cos(u)
            y = r * math.sin(v)
            z = (R + r * math.cos(v)) * math.sin(u)
            lines.append('v %.6f %.6f %.6f' % (x, y, z))
    for i in range(major + 1):
        for j in range(minor + 1):
            lines.append('vt %.6f %.6f' % (i / major * 2, j / minor))
    for i in range(major + 1):
        for j in range(minor + 1):
            u = i / major * 2 * math.pi
            v = j / minor * 2 * math.pi
            lines.append('vn %.6f %.6f %.6f' % (math.cos(v) * math.cos(u), math.sin(v), math.cos(v) * math.sin(u)))
    def idx(i, j):
        return i * (minor + 1) + j + 1
    for half, name in ((0, 'painted'), (1, 'inner')):
        lines.append('usemtl %s' % name)
        for i in range(major):
            for j in range(minor):
                inner = minor // 4 < j < 3 * minor // 4
                if (half == 1) != inner:
                    continue
                a, b, c, d = idx(i, j), idx(i + 1, j), idx(i + 1, j + 1), idx(i, j + 1)
                lines.append('f %d/%d/%d %d/%d/%d %d/%d/%d %d/%d/%d' % (a, a, a, d, d, d, c, c, c, b, b, b))
    with open('samples/torus.obj', 'w', newline='\n') as f:
        f.write('\n'.join(lines) + '\n')
    with open('samples/torus.mtl', 'w', newline='\n') as f:
        f.write('newmtl painted\nKa 0.2 0.2 0.2\nKd 1 1 1\nKs 0.5 0.5 0.5\nNs 40\nmap_Kd torus.tga\n\n'
                'newmtl inner\nKa 0.1 0.1 0.1\nKd 0.55 0.6 0.7\nKs 0.2 0.2 0.2\nNs 10\n')
    with open('samples/torus.tga', 'wb') as f:
        f.write(texture(256, 128))

if __name__ == '__main__':
    main()
