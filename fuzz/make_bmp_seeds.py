#!/usr/bin/env python3
"""Writes the small seed BMP files of fuzz/corpus/bmp (run once; the bytes are committed)."""
import os
import struct

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "bmp")


def pack_row(bpp, values):
    if bpp < 8:
        row = bytearray((len(values) * bpp + 7) // 8)
        for i, v in enumerate(values):
            bit = i * bpp
            row[bit // 8] |= v << (8 - bpp - bit % 8)
    else:
        row = bytearray()
        for v in values:
            row += v.to_bytes(bpp // 8, "little")
    row += bytes(-len(row) % 4)
    return bytes(row)


def bmp(width, height, bpp, rows, header=40, compression=0, colors_used=0, palette=(), masks=()):
    core = header == 12
    if core:
        info = struct.pack("<IHHHH", 12, width, height, 1, bpp)
    else:
        info = struct.pack("<IiiHHIIiiII", header, width, height, 1, bpp, compression, 0,
                           2835, 2835, colors_used, 0)
        if header > 40:
            extra = b"".join(struct.pack("<I", m) for m in masks)
            info += extra + bytes(header - 40 - len(extra))
    after = b"" if header > 40 else b"".join(struct.pack("<I", m) for m in masks)
    pal = b"".join(c.to_bytes(4, "little")[:3 if core else 4] for c in palette)
    pixels = b"".join(pack_row(bpp, r) for r in rows)
    offset = 14 + len(info) + len(after) + len(pal)
    head = b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset)
    return head + info + after + pal + pixels


SEEDS = {
    "1bit.bmp": bmp(9, 3, 1, [[1, 0, 1, 1, 0, 0, 1, 0, 1]] * 3, palette=[0x000000, 0xFFFFFF]),
    "4bit-topdown.bmp": bmp(3, -2, 4, [[0, 1, 2], [2, 1, 0]], colors_used=3,
                            palette=[0x112233, 0x445566, 0x778899]),
    "8bit.bmp": bmp(4, 2, 8, [[0, 1, 2, 3], [3, 2, 1, 0]], colors_used=4,
                    palette=[0x000000, 0x555555, 0xAAAAAA, 0xFFFFFF]),
    "16bit-555.bmp": bmp(3, 2, 16, [[0x7C00, 0x03E0, 0x001F], [0x7FFF, 0, 0x4210]]),
    "16bit-565-bitfields.bmp": bmp(3, 2, 16, [[0xF800, 0x07E0, 0x001F], [0xFFFF, 0, 0x8410]],
                                   compression=3, masks=[0xF800, 0x07E0, 0x001F]),
    "24bit.bmp": bmp(2, 2, 24, [[0x0000FF, 0x00FF00], [0xFF0000, 0xFFFFFF]]),
    "24bit-topdown.bmp": bmp(3, -2, 24, [[0x010203, 0x040506, 0x070809], [0x0A0B0C, 0, 0xFFFFFF]]),
    "32bit.bmp": bmp(2, 2, 32, [[0x00FF0000, 0xFF00FF00], [0x000000FF, 0x80808080]]),
    "32bit-v4-bitfields.bmp": bmp(2, 2, 32, [[0x3FF00000, 0x000FFC00], [0x000003FF, 0x20080200]],
                                  header=108, compression=3,
                                  masks=[0x3FF00000, 0x000FFC00, 0x000003FF]),
    "32bit-v5-bitfields.bmp": bmp(2, -1, 32, [[0x00563412, 0xFF000000]], header=124,
                                  compression=3, masks=[0x000000FF, 0x0000FF00, 0x00FF0000]),
    "core-4bit.bmp": bmp(3, 2, 4, [[0, 7, 15], [15, 7, 0]], header=12,
                         palette=[i * 0x111111 for i in range(16)]),
}

os.makedirs(OUT, exist_ok=True)
for name, data in SEEDS.items():
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)
