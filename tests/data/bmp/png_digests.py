#!/usr/bin/env python3
"""Digests of bmpsuite's reference pictures for tests/image/BmpFileTests.cpp.

Decodes html/<name>.png of bmpsuite 2.8 with nothing but zlib (8-bit RGB,
RGBA and palette pictures, and grey or palette pictures of 1 to 8 bits, not
interlaced) and prints FNV-1a 64 over the pixels bottom row first, each as
blue, green, red, without row padding: the order in which the tests hash
what the BMP reader produced.

    python3 png_digests.py ../../../../shared/testdata/bmp/bmpsuite-2.8/html pal1 pal8 ...
"""
import struct
import sys
import zlib


def decode(path):
    data = open(path, 'rb').read()
    assert data[:8] == b'\x89PNG\r\n\x1a\n', path
    pos, idat, plte = 8, b'', None
    while pos < len(data):
        length, kind = struct.unpack('>I4s', data[pos:pos + 8])
        chunk = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b'IHDR':
            width, height, depth, colour, _, _, interlace = struct.unpack('>IIBBBBB', chunk)
        elif kind == b'PLTE':
            plte = chunk
        elif kind == b'IDAT':
            idat += chunk
    assert interlace == 0 and (depth == 8 or colour in (0, 3)), path
    samples = {0: 1, 2: 3, 3: 1, 6: 4}[colour]
    row_bytes = (width * samples * depth + 7) // 8
    step = max(1, samples * depth // 8)  # bytes per pixel for the filters
    raw = zlib.decompress(idat)
    rows, prev, i = [], bytearray(row_bytes), 0
    for _ in range(height):
        kind, line = raw[i], bytearray(raw[i + 1:i + 1 + row_bytes])
        i += 1 + row_bytes
        for x in range(row_bytes):
            a = line[x - step] if x >= step else 0
            b = prev[x]
            c = prev[x - step] if x >= step else 0
            if kind == 1:
                line[x] = (line[x] + a) & 255
            elif kind == 2:
                line[x] = (line[x] + b) & 255
            elif kind == 3:
                line[x] = (line[x] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        prev = line
        if depth < 8:
            scale = 255 // ((1 << depth) - 1) if colour == 0 else 1
            line = bytearray(((line[x * depth // 8] >> (8 - depth - x * depth % 8)) & ((1 << depth) - 1)) * scale
                             for x in range(width))
        row = bytearray()
        for x in range(width):
            if colour == 0:
                row += bytes((line[x],) * 3)
            elif colour == 3:
                row += bytes(reversed(plte[3 * line[x]:3 * line[x] + 3]))
            else:
                row += bytes(reversed(line[samples * x:samples * x + 3]))
        rows.append(bytes(row))
    return width, height, b''.join(reversed(rows))


def fnv1a(data):
    h = 0xcbf29ce484222325
    for byte in data:
        h = ((h ^ byte) * 0x100000001b3) & 0xffffffffffffffff
    return h


if __name__ == '__main__':
    folder = sys.argv[1]
    for name in sys.argv[2:]:
        width, height, pixels = decode(f'{folder}/{name}.png')
        print(f'{name}: {width} x {height}, 0x{fnv1a(pixels):016x}ull')
