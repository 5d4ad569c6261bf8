#!/usr/bin/env python3
"""Writes the synthetic distribution of scripts/bench: thousands of small
files in a two-level directory tree plus a few files of tens of MB, and a
manifest (source, payload directory, name; TAB-separated) in install order.

    make_tree.py OUTDIR [--small N] [--big MiB,MiB,...]

The contents are pseudo-random (fixed seed), so nothing compresses or is
shared between files. Prints the file count, the total and the largest file.
"""
import argparse
import os
import random
import sys


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("outdir")
    ap.add_argument("--small", type=int, default=4000, help="small files (0 to 36 KiB each)")
    ap.add_argument("--big", default="64,48,40,32", help="sizes of the big files in MiB")
    args = ap.parse_args()

    rng = random.Random(7)
    files = []   # (payload dir, name, size)
    for i in range(args.small):
        d = "books\\d%02d\\s%d" % (i % 10, (i // 10) % 4)
        files.append((d, "f%05d.htm" % i, rng.randrange(0, 36 * 1024 + 1)))
    for i, mib in enumerate(x for x in args.big.split(",") if x):
        files.append((".", "big%d.bin" % i, int(float(mib) * 1024 * 1024)))
    # Install order mixes the big files in among the small ones.
    rng.shuffle(files)

    tree = os.path.join(args.outdir, "tree")
    lines = []
    total = largest = 0
    for d, name, size in files:
        rel = os.path.join("tree", *d.split("\\"), name) if d != "." else os.path.join("tree", name)
        path = os.path.join(args.outdir, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            left = size
            while left:
                n = min(left, 1 << 22)
                f.write(rng.randbytes(n))
                left -= n
        lines.append("%s\t%s\t%s\n" % (rel, d, name))
        total += size
        largest = max(largest, size)
    with open(os.path.join(args.outdir, "manifest.txt"), "w", newline="\n") as f:
        f.write("# Synthetic distribution of scripts/bench: source, directory, name\n")
        f.writelines(lines)
    print("files=%d bytes=%d largest=%d" % (len(files), total, largest))
    return 0


if __name__ == "__main__":
    sys.exit(main())
