"""A screen dump written by `xwd` (TrueColor of 8 bits a colour, 24 or 32 bits a pixel) cut to
a rectangle and written as a PNG file, with nothing but the standard library."""

import struct
import zlib

XWD_VERSION = 7
Z_PIXMAP = 2
LSB_FIRST = 0


class XwdImage:
    def __init__(self, data):
        fields = struct.unpack(">25I", data[:100])
        (header_size, version, pixmap_format, _depth, self.width, self.height, _xoffset,
         self.byte_order, _unit, _bit_order, _pad, bits_per_pixel, self.bytes_per_line,
         _visual_class, red, green, blue, _bits_per_rgb, _entries, colors) = fields[:20]
        if (version, pixmap_format) != (XWD_VERSION, Z_PIXMAP) or bits_per_pixel not in (24, 32):
            raise ValueError("xwd dump of version %d, format %d, %d bits a pixel: only "
                             "version 7 pixmaps of 24 or 32 bits are read"
                             % (version, pixmap_format, bits_per_pixel))
        self.pixel_size = bits_per_pixel // 8
        if (red, green, blue) != (0xFF0000, 0x00FF00, 0x0000FF):
            raise ValueError("colour masks %06x %06x %06x not read" % (red, green, blue))
        # The header, the window's name, then twelve bytes for each colour map entry.
        self.pixels = memoryview(data)[header_size + 12 * colors:]
        if len(self.pixels) < self.bytes_per_line * self.height:
            raise ValueError("xwd dump cut short")

    def rgb_rows(self, left, top, width, height):
        """The rectangle, kept inside the image, as PNG scan lines of unfiltered RGB."""
        left, top = max(0, left), max(0, top)
        width = min(width, self.width - left)
        height = min(height, self.height - top)
        # A pixel is B G R (x) in memory with the least significant byte first, (x) R G B else.
        size = self.pixel_size
        order = (2, 1, 0) if self.byte_order == LSB_FIRST else (size - 3, size - 2, size - 1)
        rows = []
        for y in range(top, top + height):
            start = y * self.bytes_per_line + left * size
            pixels = self.pixels[start:start + width * size]
            rgb = bytearray(width * 3)
            for channel, offset in enumerate(order):
                rgb[channel::3] = pixels[offset::size]
            rows.append(b"\0" + rgb)
        return width, height, b"".join(rows)


def _chunk(kind, body):
    return (struct.pack(">I", len(body)) + kind + body
            + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))


def write_png(path, width, height, rows):
    header = struct.pack(">2I5B", width, height, 8, 2, 0, 0, 0)  # 8-bit RGB
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + _chunk(b"IHDR", header)
                + _chunk(b"IDAT", zlib.compress(rows, 9)) + _chunk(b"IEND", b""))


def save_region(xwd_data, path, left, top, width, height):
    image = XwdImage(xwd_data)
    write_png(path, *image.rgb_rows(left, top, width, height))
