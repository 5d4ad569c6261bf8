#!/usr/bin/env python3
"""Writes the pictures and the manifest of resource_probe.rc into a folder:
an icon of 32 bits per pixel, an icon of PNG data and a bitmap with a
BITMAPV4HEADER and BI_BITFIELDS, in the file formats of newer systems.

    make_resource_probe.py DIR
"""
import os
import struct
import sys


def dib(width, height, bits, header_size=40, compression=0):
    """A packed DIB with an all-zero picture, as in an icon or a bitmap resource."""
    header = struct.pack("<IiiHHIIiiII", header_size, width, height, 1, bits, compression,
                         0, 0, 0, 0, 0)
    header += b"\0" * (header_size - len(header))
    return header + b"\0" * (width * height * bits // 8)


def icon(image, width, height, bits):
    """An .ico file with one image."""
    entry = struct.pack("<BBBBHHII", width, height, 0, 0, 1, bits, len(image), 6 + 16)
    return struct.pack("<HHH", 0, 1, 1) + entry + image


def main(folder):
    os.makedirs(folder, exist_ok=True)
    files = {
        "probe32.ico": icon(dib(16, 32, 32) + b"\0" * 64, 16, 16, 32),
        "probepng.ico": icon(b"\x89PNG\r\n\x1a\n" + b"\0" * 32, 16, 16, 32),
    }
    v4 = dib(8, 8, 32, header_size=108, compression=3)
    files["probe_v4.bmp"] = b"BM" + struct.pack("<IHHI", 14 + len(v4), 0, 0, 14 + 108) + v4
    files["probe.manifest"] = (b'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
                               b'<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0"/>\n')
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    main(sys.argv[1])
