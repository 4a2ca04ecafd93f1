#!/usr/bin/env python3
"""Writes a 24-bit BMP from an 8-bit RGB PNG, for the Windows resource
compiler, which takes bitmaps only as BMP. Standard library only, so that a
cross build needs nothing beyond Python.

usage: png_to_bmp.py IN.png OUT.bmp
"""
import struct
import sys
import zlib


def read_png(path):
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(f"{path}: not a PNG file")
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour != 2 or interlace != 0:
        raise ValueError(f"{path}: only 8-bit RGB non-interlaced PNG is read")
    return width, height, unfilter(zlib.decompress(idat), width, height, 3)


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def unfilter(raw, width, height, bpp):
    stride = width * bpp
    rows, prev, pos = [], bytearray(stride), 0
    for _ in range(height):
        kind, line = raw[pos], bytearray(raw[pos + 1:pos + 1 + stride])
        pos += 1 + stride
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            add = (0, a, b, (a + b) // 2, paeth(a, b, c))[kind]
            line[i] = (line[i] + add) & 0xFF
        rows.append(line)
        prev = line
    return rows


def write_bmp(path, width, height, rows):
    pad = (4 - width * 3 % 4) % 4
    pixels = bytearray()
    for line in reversed(rows):  # bottom-up
        for x in range(width):
            r, g, b = line[3 * x:3 * x + 3]
            pixels += bytes((b, g, r))
        pixels += b"\0" * pad
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    with open(path, "wb") as out:
        out.write(head + info + pixels)


def main():
    if len(sys.argv) != 3 or sys.argv[1] in ("-h", "--help"):
        print(__doc__.strip())
        return 0 if len(sys.argv) == 2 else 2
    width, height, rows = read_png(sys.argv[1])
    write_bmp(sys.argv[2], width, height, rows)
    return 0


if __name__ == "__main__":
    sys.exit(main())
