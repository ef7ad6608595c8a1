"""Colour helpers and uncompressed BMP writing shared by the bitmap scripts."""
import struct


def rgb(value):
    """A 0xRRGGBB value as (r, g, b)."""
    return ((value >> 16) & 255, (value >> 8) & 255, value & 255)


def bgr(value):
    """A 0x00BBGGRR colour value as (r, g, b)."""
    return (value & 255, (value >> 8) & 255, (value >> 16) & 255)


def mix(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def _header(width, height, bits, data_len, colours):
    offset = 54 + 4 * colours
    header = struct.pack('<2sIHHI', b'BM', offset + data_len, 0, 0, offset)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, bits, 0, data_len, 2835, 2835,
                       colours, 0)
    return header + info


def write_bmp8(path, pixels):
    """pixels: rows top to bottom of (r, g, b); an 8-bit bottom-up BMP with a palette."""
    height, width = len(pixels), len(pixels[0])
    palette = sorted({p for row in pixels for p in row})
    assert len(palette) <= 256
    index = {p: i for i, p in enumerate(palette)}
    stride = (width + 3) & ~3
    data = bytearray()
    for row in reversed(pixels):
        line = bytearray(index[p] for p in row)
        data += line + bytes(stride - len(line))
    table = b''.join(bytes((b, g, r, 0)) for r, g, b in palette)
    with open(path, 'wb') as f:
        f.write(_header(width, height, 8, len(data), len(palette)) + table + data)


def write_bmp24(path, pixels):
    """pixels: rows top to bottom of (r, g, b); a 24-bit bottom-up BMP."""
    height, width = len(pixels), len(pixels[0])
    stride = (width * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(pixels):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        data += line + bytes(stride - len(line))
    with open(path, 'wb') as f:
        f.write(_header(width, height, 24, len(data), 0) + data)
