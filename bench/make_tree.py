#!/usr/bin/env python3
"""Writes the synthetic distribution of scripts/bench: thousands of small
files in a two-level directory tree plus a few files of tens of MB, and
manifests (source, payload directory, name; TAB-separated) in install order:
manifest.txt of all the files, the big ones among the small ones;
manifest-small.txt of the small files only and manifest-large.txt of the big
ones only, each in the same order.

    make_tree.py OUTDIR [--small N] [--big MiB,MiB,...]

The contents are pseudo-random (fixed seed), so nothing compresses or is
shared between files. Prints the file count, the total and the largest file
of each manifest, as shell assignments: files= bytes= largest= (all),
small_files= ... and large_files= ...
"""
import argparse
import os
import random
import sys


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("outdir")
    ap.add_argument("--small", type=int, default=4000, help="small files (0 to 36 KiB each)")
    ap.add_argument("--big", default="64,64,64,64", help="sizes of the big files in MiB")
    args = ap.parse_args()

    rng = random.Random(7)
    files = []   # (payload dir, name, size, kind)
    for i in range(args.small):
        d = "books\\d%02d\\s%d" % (i % 10, (i // 10) % 4)
        files.append((d, "f%05d.htm" % i, rng.randrange(0, 36 * 1024 + 1), "small"))
    for i, mib in enumerate(x for x in args.big.split(",") if x):
        files.append((".", "big%d.bin" % i, int(float(mib) * 1024 * 1024), "large"))
    # Install order mixes the big files in among the small ones.
    rng.shuffle(files)

    tree = os.path.join(args.outdir, "tree")
    lines = {"": [], "small": [], "large": []}
    totals = {kind: [0, 0, 0] for kind in lines}   # files, bytes, largest
    for d, name, size, kind in files:
        rel = os.path.join("tree", *d.split("\\"), name) if d != "." else os.path.join("tree", name)
        path = os.path.join(args.outdir, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            left = size
            while left:
                n = min(left, 1 << 22)
                f.write(rng.randbytes(n))
                left -= n
        for k in ("", kind):
            lines[k].append("%s\t%s\t%s\n" % (rel, d, name))
            t = totals[k]
            t[0], t[1], t[2] = t[0] + 1, t[1] + size, max(t[2], size)
    for kind in lines:
        name = "manifest-%s.txt" % kind if kind else "manifest.txt"
        with open(os.path.join(args.outdir, name), "w", newline="\n") as f:
            f.write("# Synthetic distribution of scripts/bench%s: source, directory, name\n" %
                    (", %s files only" % kind if kind else ""))
            f.writelines(lines[kind])
        prefix = kind + "_" if kind else ""
        print("%sfiles=%d %sbytes=%d %slargest=%d" % (prefix, totals[kind][0], prefix, totals[kind][1],
                                                     prefix, totals[kind][2]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
