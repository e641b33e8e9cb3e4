#!/usr/bin/env python3
"""Generates the control glyphs (bitmaps/*.bmp) and the window icon (lumivane.ico).

Run by hand from this folder after changing the artwork:  python3 make_glyphs.py
Only the standard library is used. Every glyph is a 16-colour (4 bits per pixel) bitmap file whose
bottom-left pixel carries the background colour that drawing leaves out.
"""
import os
import struct

# The classic 16-colour palette as (red, green, blue), in palette-index order.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]

# Art characters -> palette index. '.' is the background (olive), used nowhere else.
INK = {
    '.': 3, 'k': 0, 'r': 1, 'G': 2, 'b': 4, 'p': 5, 't': 6, 's': 7,
    'g': 8, 'R': 9, 'L': 10, 'y': 11, 'B': 12, 'f': 13, 'c': 14, 'w': 15,
}
BACKGROUND = '.'

GLYPHS_16x15 = {
    'CLOSEDFOLDER': [
        '................',
        '................',
        '..kkkkk.........',
        '.kyyyyyk........',
        '.kyyyyyykkkkkkk.',
        '.kwwwwwwwwwwwwyk',
        '.kwyyyyyyyyyyygk',
        '.kwyyyyyyyyyyygk',
        '.kwyyyyyyyyyyygk',
        '.kwyyyyyyyyyyygk',
        '.kwyyyyyyyyyyygk',
        '.kwyyyyyyyyyyygk',
        '.kggggggggggggk.',
        '..kkkkkkkkkkkkk.',
        '................',
    ],
    'OPENFOLDER': [
        '................',
        '................',
        '..kkkkk.........',
        '.kyyyyyk........',
        '.kywyyyykkkkkk..',
        '.kwyyyyyyyyyyyk.',
        '.kwyykkkkkkkkkkk',
        '.kwykwwwwwwwwwwk',
        '.kwkwyyyyyyyyygk',
        '.kwkyyyyyyyyyyk.',
        '.kkwyyyyyyyyygk.',
        '.kkyyyyyyyyyyk..',
        '.kgggggggggggk..',
        '..kkkkkkkkkkk...',
        '................',
    ],
    'CURRENTFOLDER': [
        '................',
        '................',
        '..kkkkk.........',
        '.kyyyyyk........',
        '.kywyyyykkkkkk..',
        '.kwyyyyyyyyyyyk.',
        '.kwyykkkkkkkkkkk',
        '.kwykwwwwwwwwwwk',
        '.kwkwyyyRRyyyygk',
        '.kwkyyyRRRRyyyk.',
        '.kkwyyyRRRRyygk.',
        '.kkyyyyyRRyyyk..',
        '.kgggggggggggk..',
        '..kkkkkkkkkkk...',
        '................',
    ],
    'EXECUTABLE': [
        '................',
        'kkkkkkkkkkkkkkk.',
        'kbbbbbbbbbbwswsk',
        'kbbbbbbbbbbwswsk',
        'kkkkkkkkkkkkkkkk',
        'kwwwwwwwwwwwwwsk',
        'kwwwwwwwwwwwwwsk',
        'kwwwwwwwwwwwwwsk',
        'kwwwwwwwwwwwwwsk',
        'kwwwwwwwwwwwwwsk',
        'kwwwwwwwwwwwwwsk',
        'kwwwwwwwwwwwwwsk',
        'kssssssssssssssk',
        'kkkkkkkkkkkkkkkk',
        '................',
    ],
    'UNKNOWNFILE': [
        '..kkkkkkkk......',
        '..kwwwwwwkwk....',
        '..kwwwwwwkwwk...',
        '..kwwwwwwkkkkk..',
        '..kwwwwwwwwwsk..',
        '..kwwwwwwwwwsk..',
        '..kwwwwwwwwwsk..',
        '..kwwwwwwwwwsk..',
        '..kwwwwwwwwwsk..',
        '..kwwwwwwwwwsk..',
        '..kwwwwwwwwwsk..',
        '..kwwwwwwwwwsk..',
        '..kwwwwwwwwwsk..',
        '..kssssssssssk..',
        '..kkkkkkkkkkkk..',
    ],
    'KNOWNFILE': [
        '..kkkkkkkk......',
        '..kwwwwwwkwk....',
        '..kwwwwwwkwwk...',
        '..kwwwwwwkkkkk..',
        '..kwbbbbbbbwsk..',
        '..kwwwwwwwwwsk..',
        '..kwbbbbbbwwsk..',
        '..kwwwwwwwwwsk..',
        '..kwbbbbbbbwsk..',
        '..kwwwwwwwwwsk..',
        '..kwbbbbbwwwsk..',
        '..kwwwwwwwwwsk..',
        '..kwbbbbbbbwsk..',
        '..kssssssssssk..',
        '..kkkkkkkkkkkk..',
    ],
}

GLYPHS_16x11 = {
    'FLOPPY': [
        '................',
        '.kkkkkkkkkkkkkk.',
        '.ksssssssssssssk',
        '.ksggggggggggssk',
        '.ksssssssssssssk',
        '.kssssssssskkssk',
        '.ksssssssssLLssk',
        '.kkkkkkkkkkkkkkk',
        '.kgggggggggggggk',
        '..kkkkkkkkkkkkk.',
        '................',
    ],
    'HARD': [
        '................',
        '................',
        '..kkkkkkkkkkkkk.',
        '.kwwwwwwwwwwwwsk',
        '.kwssssssssssssk',
        '.kwssssssssGGssk',
        '.kwssssssssssssk',
        '.kssssssssssssgk',
        '.kgggggggggggggk',
        '..kkkkkkkkkkkkk.',
        '................',
    ],
    'NETWORK': [
        '..kkkkkkkkkkkkk.',
        '.kwwwwwwwwwwwwsk',
        '.kwssssssssGGssk',
        '.kssssssssssssgk',
        '..kkkkkkkkkkkkk.',
        '.......kk.......',
        '.......kk.......',
        'kkkkkkkkkkkkkkkk',
        '...kk......kk...',
        '..kggk....kggk..',
        '...kk......kk...',
    ],
    'CDROM': [
        '................',
        '.....kkkkkk.....',
        '...kkccwwsskk...',
        '..kcccwwwssssk..',
        '.kccccwkkwssssk.',
        '.kcccckwwkcsssk.',
        '.kssssckkwcccck.',
        '..kssswwwcccck..',
        '...kkssswwcck...',
        '.....kkkkkk.....',
        '................',
    ],
    'RAM': [
        '................',
        '.kkkkkkkkkkkkkk.',
        'kGGGGGGGGGGGGGGk',
        'kGkkGkkGkkGkkGGk',
        'kGkkGkkGkkGkkGGk',
        'kGGGGGGGGGGGGGGk',
        'kGGGGGGGGGGGGGGk',
        '.kykykykykykykk.',
        '.kykykykykykykk.',
        '.k.k.k.k.k.k.k..',
        '................',
    ],
}


def pack_4bit_rows(rows):
    """Bottom-up 4-bit pixel rows, each padded to a multiple of 4 bytes."""
    out = bytearray()
    for row in reversed(rows):
        indices = [INK[ch] for ch in row]
        if len(indices) % 2:
            indices.append(0)
        line = bytearray((indices[i] << 4) | indices[i + 1] for i in range(0, len(indices), 2))
        while len(line) % 4:
            line.append(0)
        out += line
    return bytes(out)


def pack_mask_rows(mask_rows):
    """Bottom-up 1-bit rows (1 = transparent), each padded to a multiple of 4 bytes."""
    out = bytearray()
    for row in reversed(mask_rows):
        line = bytearray()
        for start in range(0, len(row), 8):
            byte = 0
            for bit, value in enumerate(row[start:start + 8]):
                if value:
                    byte |= 0x80 >> bit
            line.append(byte)
        while len(line) % 4:
            line.append(0)
        out += line
    return bytes(out)


def palette_bytes():
    return b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in PALETTE)


def info_header(width, height, image_size):
    return struct.pack('<IiiHHIIiiII', 40, width, height, 1, 4, 0, image_size, 0, 0, 16, 16)


def bitmap_file(rows):
    width, height = len(rows[0]), len(rows)
    pixels = pack_4bit_rows(rows)
    header = info_header(width, height, len(pixels)) + palette_bytes()
    offset = 14 + len(header)
    file_header = struct.pack('<2sIHHI', b'BM', offset + len(pixels), 0, 0, offset)
    return file_header + header + pixels


def check_glyph(name, rows, width, height):
    assert len(rows) == height, f'{name}: {len(rows)} rows, want {height}'
    for row in rows:
        assert len(row) == width, f'{name}: row "{row}" is not {width} wide'
        assert all(ch in INK for ch in row), f'{name}: unknown ink in "{row}"'
    assert rows[-1][0] == BACKGROUND, f'{name}: bottom-left pixel must be the background'


def icon_art(size):
    """A framed landscape: sky, sun, hills; the corners outside the frame are transparent."""
    rows, mask = [], []
    sun_x, sun_y, sun_r = size * 0.68, size * 0.32, size * 0.13
    for y in range(size):
        row, mask_row = [], []
        for x in range(size):
            corner = (x in (0, size - 1)) and (y in (0, size - 1))
            if corner:
                row.append('k')  # colour under a transparent pixel is black (screen AND mask)
                mask_row.append(1)
                continue
            mask_row.append(0)
            if x == 0 or y == 0 or x == size - 1 or y == size - 1:
                row.append('k')
            elif x == 1 or y == 1:
                row.append('w')
            elif x == size - 2 or y == size - 2:
                row.append('g')
            elif (x - sun_x) ** 2 + (y - sun_y) ** 2 <= sun_r ** 2:
                row.append('y')
            elif y > size * 0.62 + abs(x - size * 0.35) * 0.45:
                row.append('G')
            elif y > size * 0.72 - (x - size * 0.55) * 0.2:
                row.append('L')
            else:
                row.append('c')
        rows.append(''.join(row))
        mask.append(mask_row)
    return rows, mask


def icon_file(sizes):
    images = []
    for size in sizes:
        rows, mask = icon_art(size)
        xor = pack_4bit_rows(rows)
        and_mask = pack_mask_rows(mask)
        # Icon entries carry the combined height of the XOR and AND images.
        header = info_header(size, size * 2, len(xor) + len(and_mask))
        images.append(header + palette_bytes() + xor + and_mask)
    directory = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b''
    for size, data in zip(sizes, images):
        entries += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    return directory + entries + b''.join(images)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    bitmaps = os.path.join(here, 'bitmaps')
    os.makedirs(bitmaps, exist_ok=True)
    for table, width, height in ((GLYPHS_16x15, 16, 15), (GLYPHS_16x11, 16, 11)):
        for name, rows in table.items():
            check_glyph(name, rows, width, height)
            with open(os.path.join(bitmaps, name + '.bmp'), 'wb') as out:
                out.write(bitmap_file(rows))
    with open(os.path.join(here, 'lumivane.ico'), 'wb') as out:
        out.write(icon_file([32, 16]))


if __name__ == '__main__':
    main()
