#!/usr/bin/env python3
"""Writes the payload fuzzer's seed corpus (tests/fuzz/corpus/).

Small setup files that reach every part of the reader: an intact payload,
the edge cases it must accept, the damage and the paths it must refuse, and
"directory \\n name" texts for the path checks alone. Deterministic.
"""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
IMAGE = b"MZ" + b"I" * 14


def record(name, directory, data, more):
    name, directory = name.encode("latin-1"), directory.encode("latin-1")
    return (struct.pack("<I", len(name)) + name + struct.pack("<I", len(directory)) + directory +
            struct.pack("<I", len(data)) + data + bytes([more]))


def setup(records, image=IMAGE):
    body = b"".join(record(n, d, data, 1 if i + 1 < len(records) else 0)
                    for i, (n, d, data) in enumerate(records))
    return image + body + struct.pack("<I", len(image))


def checksums(records):
    """The checksum block for the records: each one's CRC-32, then the mark,
    version 1, the count, and the CRC-32 of all that."""
    block = b"".join(struct.pack("<I", zlib.crc32(data)) for _, _, data in records)
    block += b"qCRC" + struct.pack("<II", 1, len(records))
    return block + struct.pack("<I", zlib.crc32(block))


def checked(records, image=IMAGE):
    """A setup with its checksum block just before record 0."""
    return setup(records, image + checksums(records))


BOOKS = [("qARNEL.htc", ".", b"<HTML>help</HTML>\r\n"),
         ("toc.txt", "books\\film", b"Reviews\tfilm01.htm\r\n"),
         ("index.txt", "books\\tarvelo", b"News\r\nnPR970930a.htm\r\n")]


SEEDS = {
    "intact": setup(BOOKS),
    "checksums": checked(BOOKS),
    # One data byte changed, and a cMore that ends the payload after record 0.
    "checksums-data": checked(BOOKS).replace(b"Reviews", b"Reviewz"),
    "checksums-count": checked(BOOKS).replace(b"help</HTML>\r\n\x01", b"help</HTML>\r\n\x00"),
    "dot-segments": setup([("film01.htm", "books\\.\\film", b"<HTML></HTML>"),
                           ("empty.txt", ".", b"")]),
    "cmore-2": IMAGE + record("a.txt", ".", b"A", 2) + record("b.txt", ".", b"B", 0) + struct.pack("<I", len(IMAGE)),
    "traversal": setup([("ok.txt", ".", b"ok"), ("evil.txt", "..\\..\\Windows", b"x")]),
    "name-with-dir": setup([("sub\\x.txt", "books", b"x")]),
    "long-name": setup([("n" * 1030, ".", b"x")]),
    "truncated": setup([("qARNEL.htc", ".", b"<HTML>help</HTML>")])[:-9],
    "no-mark": setup([("a.txt", ".", b"A")])[:-5] + b"\x01" + struct.pack("<I", len(IMAGE)),
    "offset-past-end": setup([("a.txt", ".", b"A")])[:-4] + struct.pack("<I", 4000),
    # A damaged length: the byte then read as cMore ends the payload early.
    "short-data": (IMAGE + struct.pack("<I", 5) + b"a.txt" + struct.pack("<I", 1) + b"." + struct.pack("<I", 1) +
                   b"AB\x01" + record("b.txt", ".", b"B", 0) + struct.pack("<I", len(IMAGE))),
    "gap": setup([("a.txt", ".", b"A")])[:-4] + b"xy\x00\x00" + struct.pack("<I", len(IMAGE)),
    "paths-dot": b"books\\.\\film\nfilm01.htm",
    "paths-device": b"books\\aux\ncon.txt",
    "paths-up": b"books/../..\nx",
}

if __name__ == "__main__":
    corpus = os.path.join(HERE, "corpus")
    os.makedirs(corpus, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(corpus, name), "wb") as f:
            f.write(data)
