"""Writes the fuzzers' starting inputs: small valid files of each format, made here with Pillow
and by hand, so that the fuzzers start from the structures the readers know.
Usage: make_seeds.py OUTPUT_DIR  (creates OUTPUT_DIR/<reader>/...)"""
import io
import os
import struct
import sys

from PIL import Image


def gradient(mode, size):
    image = Image.new("RGB", size)
    image.putdata([((x * 37) % 256, (y * 53) % 256, ((x + y) * 11) % 256)
                   for y in range(size[1]) for x in range(size[0])])
    return image.convert(mode) if mode != "RGB" else image


def save(image, **options):
    out = io.BytesIO()
    image.save(out, **options)
    return out.getvalue()


def bmp_seeds():
    seeds = {
        "rgb24.bmp": save(gradient("RGB", (13, 7)), format="BMP"),
        "pal8.bmp": save(gradient("P", (9, 5)), format="BMP"),
        "mono.bmp": save(gradient("1", (17, 3)), format="BMP"),
        "rgba32.bmp": save(gradient("RGBA", (5, 4)), format="BMP"),
    }
    # An 8-bit run-length file by hand: two runs, an absolute run, end of line, end of bitmap.
    rle = bytes([3, 1, 2, 2, 0, 3, 4, 5, 6, 0, 0, 0, 0, 4, 3, 0, 1])
    palette = b"".join(struct.pack("<BBBB", i * 40, 255 - i * 40, i * 10, 0) for i in range(7))
    info = struct.pack("<IiiHHIIiiII", 40, 5, 2, 1, 8, 1, len(rle), 0, 0, 7, 0)
    offset = 14 + len(info) + len(palette)
    seeds["rle8.bmp"] = struct.pack("<2sIHHI", b"BM", offset + len(rle), 0, 0, offset) + info + palette + rle
    return seeds


def icon_entry(width, height, bpp):
    """A classic (header, colours, XOR rows, AND rows) icon image of the given depth."""
    colours = 2 ** bpp if bpp <= 8 else 0
    palette = b"".join(struct.pack("<BBBB", i * 3 % 256, i * 7 % 256, i * 13 % 256, 0) for i in range(colours))
    xor_row = ((width * bpp + 31) // 32) * 4
    and_row = ((width + 31) // 32) * 4
    xor = bytes((x * 29 + y) % 256 for y in range(height) for x in range(xor_row))
    mask = bytes((0xF0 if y % 2 else 0x0F) for y in range(height) for _ in range(and_row))
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, bpp, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + palette + xor + mask


def ico_file(entries):
    directory = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    body = b""
    for (width, height, bpp), data in entries:
        directory += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, bpp, len(data), offset + len(body))
        body += data
    return directory + body


def ico_seeds():
    sizes = [(16, 16, 4), (32, 32, 8), (16, 16, 24), (8, 8, 1), (4, 4, 32)]
    seeds = {f"classic{w}x{h}x{b}.ico": ico_file([((w, h, b), icon_entry(w, h, b))]) for w, h, b in sizes}
    seeds["two.ico"] = ico_file([((16, 16, 4), icon_entry(16, 16, 4)), ((32, 32, 8), icon_entry(32, 32, 8))])
    seeds["png.ico"] = save(gradient("RGBA", (24, 24)), format="ICO", sizes=[(24, 24)])
    return seeds


def exif_segment(orientation, big_endian):
    """An APP1 segment holding an EXIF block whose first directory has one entry, the
    orientation (a SHORT in the file's byte order)."""
    order = ">" if big_endian else "<"
    tiff = (b"MM" if big_endian else b"II") + struct.pack(order + "HI", 42, 8)
    tiff += struct.pack(order + "H", 1) + struct.pack(order + "HHIHH", 0x0112, 3, 1, orientation, 0)
    tiff += struct.pack(order + "I", 0)  # no next directory
    payload = b"Exif\0\0" + tiff
    return b"\xff\xe1" + struct.pack(">H", len(payload) + 2) + payload


def jpeg_seeds():
    image = gradient("RGB", (40, 24))
    baseline = save(image, format="JPEG", quality=80)
    return {
        "baseline.jpg": baseline,
        "progressive.jpg": save(image, format="JPEG", quality=60, progressive=True),
        "grey.jpg": save(image.convert("L"), format="JPEG"),
        "h1v1.jpg": save(image, format="JPEG", subsampling=0, quality=90),
        # The EXIF orientation reader and the turned writers: a quarter turn (rows become
        # columns) in Intel byte order, a top-bottom mirror (rows stay rows) in Motorola order.
        "exif_rotate90.jpg": baseline[:2] + exif_segment(6, False) + baseline[2:],
        "exif_mirror_vertical.jpg": baseline[:2] + exif_segment(4, True) + baseline[2:],
    }


def gif_seeds():
    frames = [gradient("P", (12, 9)), gradient("P", (12, 9)).rotate(90)]
    animated = io.BytesIO()
    frames[0].save(animated, format="GIF", save_all=True, append_images=frames[1:], duration=[70, 120],
                   loop=0, transparency=3, disposal=2)
    return {
        "still.gif": save(gradient("P", (10, 6)), format="GIF"),
        "animated.gif": animated.getvalue(),
        "interlaced.gif": save(gradient("P", (16, 16)), format="GIF", interlace=True),
        "mono.gif": save(gradient("1", (9, 9)), format="GIF"),
    }


def png_seeds():
    return {
        "rgba.png": save(gradient("RGBA", (9, 7)), format="PNG"),
        "palette.png": save(gradient("P", (9, 7)), format="PNG"),
        "grey.png": save(gradient("L", (9, 7)), format="PNG"),
        "interlaced.png": save(gradient("RGB", (11, 11)), format="PNG", interlace=True),
    }


def webp_seeds():
    seeds = {}
    try:
        seeds["lossy.webp"] = save(gradient("RGB", (16, 12)), format="WEBP", quality=70)
        seeds["lossless.webp"] = save(gradient("RGBA", (16, 12)), format="WEBP", lossless=True)
    except (OSError, KeyError):
        pass  # Pillow built without WebP: the fuzzer starts from nothing
    return seeds


def main():
    out = sys.argv[1]
    for reader, seeds in (("bmp", bmp_seeds()), ("ico", ico_seeds()), ("jpeg", jpeg_seeds()),
                          ("gif", gif_seeds()), ("png", png_seeds()), ("webp", webp_seeds())):
        folder = os.path.join(out, reader)
        os.makedirs(folder, exist_ok=True)
        for name, data in seeds.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
