#!/usr/bin/env python3
"""Writes the program's icon (app/lumetra.ico): a monitor showing three
gamma curves, red, green and blue, at 32x32 and 16x16 pixels, 32 bits each.
usage: make-icon.py <output.ico>"""
import struct
import sys


def pixel(size, x, y):
    """The colour (r, g, b, a) of pixel (x, y), y counted from the top."""
    s = size / 32.0
    # Stand and foot of the monitor.
    if 24 * s <= y < 27 * s and 13 * s <= x < 19 * s:
        return (90, 90, 96, 255)
    if 27 * s <= y < 29 * s and 8 * s <= x < 24 * s:
        return (70, 70, 76, 255)
    # Case and screen.
    if 3 * s <= y < 24 * s and 1 * s <= x < 31 * s:
        if 5 * s <= y < 22 * s and 3 * s <= x < 29 * s:
            u = (x - 3 * s) / (26 * s)
            v = 1.0 - (y - 5 * s) / (17 * s)
            for gamma, colour in ((0.6, (230, 40, 40)), (1.0, (40, 200, 60)), (1.8, (60, 100, 240))):
                if abs(u ** gamma - v) < 1.0 / (17 * s):
                    return colour + (255,)
            return (24, 26, 34, 255)
        return (200, 200, 206, 255)
    return (0, 0, 0, 0)


def image(size):
    """A BMP-in-ICO image: header, bottom-up BGRA rows, an all-clear AND mask."""
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = b''
    for y in reversed(range(size)):
        for x in range(size):
            r, g, b, a = pixel(size, x, y)
            rows += bytes((b, g, r, a))
    mask_row = ((size + 31) // 32) * 4
    return header + rows + bytes(mask_row * size)


def main():
    sizes = (32, 16)
    images = [image(n) for n in sizes]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, data in zip(sizes, images):
        out += struct.pack('<BBBBHHII', n, n, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(sys.argv[1], 'wb') as f:
        f.write(out + b''.join(images))


if __name__ == '__main__':
    main()
