#!/usr/bin/env python3
"""Writes the second sample shipped in samples/: tile.obj, a square slab whose
material library has another name (stone.mtl, named by the mtllib statement)
and whose texture is a PNG picture (tile.png, 64 x 64, 24-bit) of four
stone tiles, with a dark bar along the picture's top edge so that its
orientation shows. Deterministic output; run from the project root."""
import struct
import zlib


def png(width, height, pixel):
    """A truecolour PNG file; pixel(x, y) -> (r, g, b), y = 0 the top row."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body) & 0xFFFFFFFF)
    rows = b''.join(b'\0' + b''.join(bytes(pixel(x, y)) for x in range(width)) for y in range(height))
    header = struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) + chunk(b'IDAT', zlib.compress(rows, 9)) +
            chunk(b'IEND', b''))


def stone(x, y):
    if y < 4:  # the top edge of the picture
        return (40, 30, 30)
    if x % 32 in (0, 31) or y % 32 in (0, 31):  # mortar between the tiles
        return (90, 85, 80)
    tile = (x // 32) + 2 * (y // 32)
    base = [(170, 150, 120), (140, 150, 160), (160, 130, 110), (150, 160, 140)][tile]
    grain = ((x * 7 + y * 13) ^ (x * y)) % 23 - 11
    return tuple(max(0, min(255, c + grain)) for c in base)


def main():
    # A slab 160 wide and deep, 30 high (1.6 x 0.3 after the load scale).
    w, h = 80.0, 15.0
    corners = [(-w, -h, -w), (w, -h, -w), (w, h, -w), (-w, h, -w),
               (-w, -h, w), (w, -h, w), (w, h, w), (-w, h, w)]
    lines = ['# Corvasi sample: a stone-tiled slab whose library has a name of its own',
             'mtllib stone.mtl', 'o tile']
    lines += ['v %.1f %.1f %.1f' % c for c in corners]
    lines += ['vt 0 0', 'vt 1 0', 'vt 1 1', 'vt 0 1', 'vt 0 0.2', 'vt 1 0.2']
    lines += ['vn 0 0 1', 'vn 0 0 -1', 'vn 1 0 0', 'vn -1 0 0', 'vn 0 1 0', 'vn 0 -1 0']
    lines.append('usemtl stone')
    # Counter-clockwise seen from outside; the top and bottom carry the whole
    # picture, the sides a strip of it.
    lines += ['f 4/1/5 8/2/5 7/3/5 3/4/5',   # top (+y)
              'f 1/1/6 2/2/6 6/3/6 5/4/6',   # bottom
              'f 5/1/1 6/2/1 7/6/1 8/5/1',   # front (+z)
              'f 2/1/2 1/2/2 4/6/2 3/5/2',   # back
              'f 6/1/3 2/2/3 3/6/3 7/5/3',   # right
              'f 1/1/4 5/2/4 8/6/4 4/5/4']   # left
    with open('samples/tile.obj', 'w', newline='\n') as f:
        f.write('\n'.join(lines) + '\n')
    with open('samples/stone.mtl', 'w', newline='\n') as f:
        f.write('newmtl stone\nKa 0.2 0.2 0.2\nKd 1 1 1\nKs 0.2 0.2 0.2\nNs 20\nmap_Kd tile.png\n')
    with open('samples/tile.png', 'wb') as f:
        f.write(png(64, 64, stone))


if __name__ == '__main__':
    main()
