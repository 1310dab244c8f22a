#!/usr/bin/env python3
"""Writes the texture fixtures of this folder: small TGA pictures written
here, and the same pictures as PNG, JPEG and BMP files written from those TGA
files by ImageMagick's convert, an independent writer of each format.

    python3 tests/data/textures/make-textures.py

picture.tga      8 x 4, 24 bits, every pixel a different colour
picture.png      the same, as ImageMagick picks it (a palette PNG)
picture-rgb.png  the same, 24-bit truecolour PNG
picture.bmp      the same, 24-bit BMP
picture.jpg      the same, JPEG (lossy: compared within a tolerance)
alpha.tga        8 x 4, 32 bits with varying alpha; alpha.png the same
grey.tga         8 x 4 grey, stored as 24 bits; grey.png the same as a
                 grey-scale PNG
quadrants.tga    32 x 16 in four flat quadrants (red, green / blue, white),
                 8 x 8 blocks that JPEG keeps nearly exact; as .png, .jpg, .bmp
past-palette.png 4 x 1 palette PNG written here, whose palette has one entry
                 and whose pixels are indices 0, 1, 255, 0
"""
import os
import struct
import subprocess
import zlib

here = os.path.dirname(os.path.abspath(__file__))


def write_tga(name, width, height, pixel, alpha=False):
    """pixel(x, y) -> (r, g, b[, a]) with y = 0 the top row; rows stored
    bottom-up (origin bits 0), blue first."""
    depth = 32 if alpha else 24
    header = struct.pack('<BBBHHBHHHHBB', 0, 0, 2, 0, 0, 0, 0, 0, width, height, depth, 8 if alpha else 0)
    body = bytearray()
    for row in range(height):
        y = height - 1 - row
        for x in range(width):
            p = pixel(x, y)
            body += bytes((p[2], p[1], p[0]) + ((p[3],) if alpha else ()))
    with open(os.path.join(here, name), 'wb') as f:
        f.write(header + body)


def convert(source, *args):
    """convert SOURCE ARGS... [FORMAT:]OUTPUT. ImageMagick reads a bottom-up
    TGA file's rows as they are stored and only marks the picture as
    bottom-left; -auto-orient turns it upright before it is written."""
    output = args[-1]
    prefix = ''
    if ':' in output:
        prefix, output = output.split(':')
        prefix += ':'
    subprocess.run(['convert', os.path.join(here, source), '-auto-orient', *args[:-1],
                    prefix + os.path.join(here, output)], check=True)


def colour(x, y):
    return (20 + 29 * x, 40 + 51 * y, 200 - 11 * x - 23 * y)


write_tga('picture.tga', 8, 4, colour)
write_tga('alpha.tga', 8, 4, lambda x, y: colour(x, y) + (255 - 30 * x - 7 * y,), alpha=True)
write_tga('grey.tga', 8, 4, lambda x, y: (10 + 30 * x + 5 * y,) * 3)
QUADRANTS = ((255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 255))
write_tga('quadrants.tga', 32, 16, lambda x, y: QUADRANTS[(x >= 16) + 2 * (y >= 8)])

strip = ('-strip', '-define', 'png:exclude-chunks=date,time')
convert('picture.tga', *strip, 'picture.png')
convert('picture.tga', *strip, 'PNG24:picture-rgb.png')
convert('picture.tga', '-type', 'TrueColor', 'BMP3:picture.bmp')
convert('picture.tga', '-strip', '-quality', '100', '-sampling-factor', '1x1', 'picture.jpg')
convert('alpha.tga', *strip, 'PNG32:alpha.png')
convert('grey.tga', *strip, '-colorspace', 'Gray', '-define', 'png:color-type=0', '-define', 'png:bit-depth=8', 'grey.png')
convert('quadrants.tga', *strip, 'quadrants.png')
convert('quadrants.tga', '-strip', '-quality', '95', 'quadrants.jpg')
convert('quadrants.tga', '-type', 'TrueColor', 'BMP3:quadrants.bmp')


def chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))


with open(os.path.join(here, 'past-palette.png'), 'wb') as f:
    f.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', 4, 1, 8, 3, 0, 0, 0)) +
            chunk(b'PLTE', bytes((200, 100, 50))) + chunk(b'IDAT', zlib.compress(bytes((0, 0, 1, 255, 0)))) +
            chunk(b'IEND', b''))
