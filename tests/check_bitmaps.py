#!/usr/bin/python3
"""Opens the bitmaps that a READ against the virtual sensor wrote with
Pillow, a reader that shares no code with the program, and checks what a
viewer shows: 236 x 208 pixels of 24 bits, a grey compensation table and
upright, recognisable pattern pictures.

usage: check_bitmaps.py <read_sensor_images program>
"""
import os
import subprocess
import sys
import tempfile

from PIL import Image

WIDTH, HEIGHT = 236, 208


def mean(values):
    values = list(values)
    return sum(values) / len(values)


def brightness(image, box):
    """Mean of all channels over the pixels of box (left, top, right, bottom)."""
    return mean(sum(pixel) / 3 for pixel in image.crop(box).getdata())


def check_format(name, image):
    assert image.format == "BMP", f"{name}: read as {image.format}"
    assert image.size == (WIDTH, HEIGHT), f"{name}: {image.size}"
    assert image.mode == "RGB", f"{name}: mode {image.mode}"
    # One raw tile of three bytes per pixel (blue, green, red) from byte 54,
    # rows of 708 bytes stored bottom-up: an uncompressed 24-bit bitmap.
    (decoder, _, offset, (raw_mode, stride, orientation)), = image.tile
    assert (decoder, offset, raw_mode, stride, orientation) == ("raw", 54, "BGR", 708, -1), \
        f"{name}: {image.tile}"


def check_compensation(image):
    pixels = image.load()
    for y in range(HEIGHT):
        for x in range(WIDTH):
            red, green, blue = pixels[x, y]
            assert red == green == blue, f"compensation pixel {x},{y} is not grey"
            assert pixels[x, y] == pixels[x - x % 4, y], f"compensation group at {x},{y} differs"
    # Compensation rises towards the corners of the picture.
    centre = brightness(image, (108, 94, 128, 114))
    for corner in [(0, 0, 20, 20), (216, 0, 236, 20), (0, 188, 20, 208), (216, 188, 236, 208)]:
        assert brightness(image, corner) > centre + 50, f"compensation corner {corner} not brighter"


def check_pattern(bank, image):
    name = f"bank {bank}"
    # The picture fades towards its bottom: the file's first rows are the
    # bottom of what a viewer shows.
    top = brightness(image, (10, 8, 226, 30))
    bottom = brightness(image, (10, 178, 226, 200))
    assert top > bottom + 20, f"{name}: upside down ({top:.0f} above, {bottom:.0f} below)"
    # White digits in the middle, nothing white near the edges.
    white = [(x, y) for (x, y) in ((x, y) for y in range(HEIGHT) for x in range(WIDTH))
             if min(image.getpixel((x, y))) >= 240]
    assert len(white) > 1000, f"{name}: only {len(white)} white pixels"
    assert all(40 <= y <= 168 and 20 <= x <= 216 for x, y in white), f"{name}: white off centre"
    # A frame of one colour all round.
    frame = image.getpixel((1, 1))
    for corner in [(234, 1), (1, 206), (234, 206), (118, 2), (2, 104)]:
        assert image.getpixel(corner) == frame, f"{name}: frame differs at {corner}"
    if bank == 0:
        # Red on the left turning to yellow on the right: left is left.
        left = mean(image.getpixel((x, 20))[1] for x in range(10, 40))
        right = mean(image.getpixel((x, 20))[1] for x in range(196, 226))
        assert right > left + 50, f"{name}: mirrored ({left:.0f} left, {right:.0f} right)"


def main():
    reader = sys.argv[1]
    with tempfile.TemporaryDirectory(prefix="zema-bitmaps-") as folder:
        base = os.path.join(folder, "line1")
        subprocess.run([reader, base], check=True)
        with Image.open(base + ".cmp.bmp") as image:
            check_format("compensation", image)
            check_compensation(image)
        for bank in range(15):
            with Image.open(base + ".pt%X.bmp" % bank) as image:
                check_format(f"bank {bank}", image)
                check_pattern(bank, image.convert("RGB"))
    print("16 bitmaps checked")


if __name__ == "__main__":
    main()
