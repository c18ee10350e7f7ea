#!/usr/bin/env python3
"""Writes the programs' icons: a monitor showing three gamma curves, red,
green and blue, at 32x32 and 16x16 pixels, 32 bits each (app/lumetra.ico);
with --loader, the same monitor with a round badge holding a check mark, for
the calibration loader (loader/lumetra-loader.ico); with --loader-warning, an
amber badge holding an exclamation mark instead, the loader's notification
icon when some display is not as intended (loader/lumetra-loader-warning.ico).
usage: make-icon.py [--loader | --loader-warning] <output.ico>"""
import struct
import sys


def in_disc(size, x, y, fill, mark):
    """The badge at the lower right: a disc in `fill` with a white rim and a
    white mark, mark(u, v) deciding its pixels in 32-pixel units from the
    centre; None outside the disc."""
    s = size / 32.0
    cx, cy, r = 24.5 * s, 23.5 * s, 7.5 * s
    dx, dy = x + 0.5 - cx, y + 0.5 - cy
    if dx * dx + dy * dy > r * r:
        return None
    if dx * dx + dy * dy > (r - 1.2 * s) ** 2 or mark(dx / s, dy / s):
        return (255, 255, 255, 255)
    return fill


def check_mark(u, v):
    """Two strokes, down-right then up-right."""
    return ((-4 <= u <= -0.5 and abs(v - (u + 0.5) - 1.5) < 1.3) or
            (-0.5 <= u <= 4 and abs(v - (-1.1 * (u + 0.5)) - 1.5) < 1.3))


def exclamation_mark(u, v):
    return abs(u) < 1.3 and (-4.5 <= v <= 1.2 or 2.6 <= v <= 4.6)


def badge(size, x, y):
    """The loader's badge: a green disc with a white check mark."""
    return in_disc(size, x, y, (30, 150, 70, 255), check_mark)


def warning_badge(size, x, y):
    """The same disc in amber with a white exclamation mark."""
    return in_disc(size, x, y, (230, 150, 20, 255), exclamation_mark)


def pixel(size, x, y, loader=False):
    """The colour (r, g, b, a) of pixel (x, y), y counted from the top;
    `loader` is False, 'check' or 'warning'."""
    if loader:
        b = (warning_badge if loader == 'warning' else badge)(size, x, y)
        if b:
            return b
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


def image(size, loader):
    """A BMP-in-ICO image: header, bottom-up BGRA rows, an all-clear AND mask."""
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = b''
    for y in reversed(range(size)):
        for x in range(size):
            r, g, b, a = pixel(size, x, y, loader)
            rows += bytes((b, g, r, a))
    mask_row = ((size + 31) // 32) * 4
    return header + rows + bytes(mask_row * size)


def main():
    args = sys.argv[1:]
    loader = 'warning' if '--loader-warning' in args else 'check' if '--loader' in args else False
    args = [a for a in args if a not in ('--loader', '--loader-warning')]
    sizes = (32, 16)
    images = [image(n, loader) for n in sizes]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, data in zip(sizes, images):
        out += struct.pack('<BBBBHHII', n, n, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(args[0], 'wb') as f:
        f.write(out + b''.join(images))


if __name__ == '__main__':
    main()
