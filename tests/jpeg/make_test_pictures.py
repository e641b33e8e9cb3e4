#!/usr/bin/python3
"""Writes the pictures the JPEG and WebP suites compare against, made with Pillow, and next to
each one Pillow's own upright reading of it: "<name>.rgba" holds the width and height as two
32-bit little-endian numbers, then the pixels as red, green, blue, alpha bytes, row by row."""
import struct
import sys
from pathlib import Path

from PIL import Image, ImageOps


def pattern(width, height, mode="RGB"):
    # Different in every direction, so that any turn or mirror shows.
    image = Image.new("RGB", (width, height))
    image.putdata([((x * 255) // (width - 1), (y * 255) // (height - 1), 255 if (x // 6 + y // 4) % 2 else 40)
                   for y in range(height) for x in range(width)])
    return image.convert(mode)


def write_reference(path, image):
    rgba = image.convert("RGBA")
    with open(str(path) + ".rgba", "wb") as out:
        out.write(struct.pack("<II", *rgba.size))
        out.write(rgba.tobytes())


def jpeg_with_orientation(folder, name, image, orientation, **options):
    exif = Image.Exif()
    if orientation:
        exif[0x0112] = orientation
    path = folder / name
    image.save(path, "JPEG", exif=exif.tobytes(), quality=95, **options)
    with Image.open(path) as written:
        write_reference(path, ImageOps.exif_transpose(written))


def main(folder):
    folder = Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    colour = pattern(45, 30)
    for orientation in range(1, 9):
        jpeg_with_orientation(folder, f"orientation{orientation}.jpg", colour, orientation)
    # The other row paths: grey (palette output), CMYK (converted rows), progressive.
    jpeg_with_orientation(folder, "gray6.jpg", pattern(45, 30, "L"), 6)
    jpeg_with_orientation(folder, "cmyk8.jpg", pattern(45, 30, "CMYK"), 8)
    jpeg_with_orientation(folder, "progressive7.jpg", colour, 7, progressive=True)
    jpeg_with_orientation(folder, "tall3.jpg", pattern(19, 70), 3)

    # WebP: lossy, lossless, and both with an alpha channel.
    alpha = Image.new("L", (40, 28))
    alpha.putdata([(x * 255) // 39 if y % 7 else 0 for y in range(28) for x in range(40)])
    rgba = pattern(40, 28)
    rgba.putalpha(alpha)
    cases = {
        "lossy.webp": (pattern(40, 28), dict(quality=90)),
        "lossless.webp": (pattern(40, 28), dict(lossless=True)),
        "lossless_alpha.webp": (rgba, dict(lossless=True)),
        "lossy_alpha.webp": (rgba, dict(quality=90)),
        "large.webp": (pattern(300, 200), dict(quality=80)),
    }
    for name, (image, options) in cases.items():
        path = folder / name
        image.save(path, "WEBP", **options)
        with Image.open(path) as written:
            write_reference(path, written)
    # An animation of two frames; the picture is its first.
    frames = [pattern(32, 24), pattern(32, 24).transpose(Image.Transpose.FLIP_LEFT_RIGHT)]
    path = folder / "animated.webp"
    frames[0].save(path, "WEBP", save_all=True, append_images=frames[1:], duration=100, lossless=True)
    with Image.open(path) as written:
        write_reference(path, written)


if __name__ == "__main__":
    main(sys.argv[1])
