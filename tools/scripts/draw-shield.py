#!/usr/bin/env python3
# Draws the product's pictures: a blue shield with a white keyhole, written as
# the toast's logo (PNG) and as the executable's icon (ICO with several sizes).
# Standard library only; run it again after changing the drawing and commit the output.
import math
import struct
import sys
import zlib

BORDER = (31, 58, 104)
FILL_TOP = (72, 132, 222)
FILL_BOTTOM = (30, 82, 160)
KEYHOLE = (255, 255, 255)
SAMPLES = 4  # per axis, for smooth edges


def shield_contains(x, y, scale):
    """Shield centred at x = 0 (x from -0.5 to 0.5), top edge near y = 0, point at y = 1."""
    # Shrink about the shield's centre so the inner shape leaves an even border.
    x = x / scale
    y = 0.5 + (y - 0.5) / scale
    half_width = 0.42
    if abs(x) > half_width or y > 0.98:
        return False
    # The top edge dips slightly towards the middle, like a crest.
    top = 0.04 + 0.05 * (1 - abs(x) / half_width)
    if y < top:
        return False
    shoulder = 0.45
    if y < shoulder:
        return True
    # Below the shoulders the sides close in along a parabola to the point.
    t = (y - shoulder) / (0.98 - shoulder)
    return abs(x) <= half_width * (1 - t * t)


def keyhole_contains(x, y):
    if math.hypot(x, y - 0.40) <= 0.085:
        return True
    if 0.44 <= y <= 0.70:
        return abs(x) <= 0.03 + 0.035 * (y - 0.44) / 0.26
    return False


def colour_at(x, y):
    """RGBA of one sample point, or None outside the shield."""
    if not shield_contains(x, y, 1.0):
        return None
    if not shield_contains(x, y, 0.86):
        return BORDER
    if keyhole_contains(x, y):
        return KEYHOLE
    t = min(1.0, max(0.0, y))
    return tuple(round(a + (b - a) * t) for a, b in zip(FILL_TOP, FILL_BOTTOM))


def render(size):
    """Rows of (r, g, b, a) for a size x size picture, top row first."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) / size - 0.5
                    y = (py + (sy + 0.5) / SAMPLES) / size
                    c = colour_at(x, y)
                    if c is not None:
                        r, g, b, a = r + c[0], g + c[1], b + c[2], a + 1
            if a == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((r // a, g // a, b // a, round(255 * a / SAMPLES ** 2)))
        rows.append(row)
    return rows


def png_bytes(rows):
    size = len(rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    raw = b"".join(b"\x00" + bytes(v for pixel in row for v in pixel) for row in rows)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def dib_bytes(rows):
    """A 32-bit icon image: header (height doubled), BGRA bottom-up, then the AND mask."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes((p[2], p[1], p[0], p[3])) for row in reversed(rows) for p in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for i, p in enumerate(row):
            if p[3] == 0:
                bits[i // 8] |= 0x80 >> (i % 8)
        mask += bits
    return header + colour + bytes(mask)


def ico_bytes(images):
    """images: list of (size, encoded image). Sizes of 256 are stored as 0."""
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, blobs = b"", b""
    for size, data in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        blobs += data
        offset += len(data)
    return directory + entries + blobs


def main(png_path, ico_path):
    with open(png_path, "wb") as f:
        f.write(png_bytes(render(256)))
    images = [(s, dib_bytes(render(s))) for s in (16, 32, 48)] + [(256, png_bytes(render(256)))]
    with open(ico_path, "wb") as f:
        f.write(ico_bytes(images))


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: draw-shield.py <logo.png> <icon.ico>")
    main(sys.argv[1], sys.argv[2])
