#!/usr/bin/env python3
"""Draws the window icon's artwork as PNG files for the desktop's icon theme.

    make_icons.py OUTPUT_DIR SIZE...

writes OUTPUT_DIR/SIZExSIZE/apps/lumivane.png for every size. The artwork is the one the window
icon (resources/lumivane.ico) is made from, drawn afresh at each size, so the small sizes equal the
window icon's images and the large ones stay sharp. Only the standard library is used.
"""
import os
import struct
import sys
import zlib

sys.dont_write_bytecode = True  # the source tree stays as it is
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'resources'))
import make_glyphs  # noqa: E402  (the artwork and palette shared with the window icon)


def png_chunk(kind, data):
    body = kind + data
    return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body) & 0xFFFFFFFF)


def png_file(size):
    """An 8-bit RGBA PNG of the icon artwork; the masked corners are transparent."""
    rows, mask = make_glyphs.icon_art(size)
    raw = bytearray()
    for row, mask_row in zip(rows, mask):
        raw.append(0)  # no filter
        for ink, masked in zip(row, mask_row):
            red, green, blue = make_glyphs.PALETTE[make_glyphs.INK[ink]]
            raw += bytes((red, green, blue, 0 if masked else 255))
    header = struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + png_chunk(b'IHDR', header) +
            png_chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + png_chunk(b'IEND', b''))


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    out = sys.argv[1]
    for size in (int(arg) for arg in sys.argv[2:]):
        folder = os.path.join(out, f'{size}x{size}', 'apps')
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, 'lumivane.png'), 'wb') as png:
            png.write(png_file(size))


if __name__ == '__main__':
    main()
