#!/usr/bin/env python3
"""Prints the table of scripts/bench from its results file ("key value" lines,
one per measurement): medians, spreads, ratios against the yardsticks, targets.
Exit status 0 whether or not a target is missed (the table says so)."""
import argparse
import statistics
import sys

MB = 1e6
MIB = 1 << 20


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("results")
    ap.add_argument("--bytes", type=int, required=True, help="data bytes of the whole tree (packaging)")
    ap.add_argument("--largest", type=int, required=True, help="largest file of the whole tree")
    ap.add_argument("--files", type=int, required=True, help="files of the whole tree")
    ap.add_argument("--size-limit", type=int, required=True, help="the payload's offset in setup.exe")
    args = ap.parse_args()

    values = {}
    with open(args.results) as f:
        for line in f:
            key, _, value = line.strip().partition(" ")
            if value:
                values.setdefault(key, []).append(float(value))

    def med(key):
        return statistics.median(values[key])

    def spread(key, fmt):
        v = values[key]
        return "%s-%s" % (fmt(min(v)), fmt(max(v)))

    rows = []

    def row(figure, measured, spread_text, yardstick, ratio, target, ok):
        rows.append((figure, measured, spread_text, yardstick, ratio, target, "pass" if ok else "MISS"))

    def mbps(seconds):
        return "%.0f MB/s" % (args.bytes / seconds / MB)

    # Extraction, each payload on its own: data bytes per second, so every
    # ratio is yardstick time / extraction time. The small files are held to
    # CopyFileA, the large records to the floor (the program's own work in a
    # plain loop: a fresh block of each record's size, read, written, freed);
    # the other comparison of each is shown without a target.
    names = {"small": "small files", "large": "large records"}
    targets = {("small", "copy"), ("large", "floor")}
    for d in ("small", "large"):
        nbytes = values["%s_bytes" % d][0]
        ext = med("extract_" + d)

        def rate(seconds):
            return "%.0f MB/s" % (nbytes / seconds / MB)

        for side, label in (("copy", "CopyFileA"), ("floor", "floor")):
            key = "%s_%s" % (side, d)
            ys = med(key)
            ratio = ys / ext
            first = side == "copy"
            target = (d, side) in targets
            rows.append(("Extraction, %s (Wine)" % names[d] if first else "",
                         "%s (%.2f s)" % (rate(ext), ext) if first else "",
                         spread("extract_" + d, lambda s: "%.2f s" % s) if first else "",
                         "%s %s (%.2f s; %s)" % (label, rate(ys), ys, spread(key, lambda s: "%.2f" % s)),
                         "%.2fx" % ratio, ">= 0.90x" if target else "",
                         ("pass" if ratio >= 0.9 else "MISS") if target else ""))

    # The checksum check: the same extraction of each payload packed with and
    # without the checksum block, each after an untimed one of the same setup.
    for d in ("small", "large"):
        w, wo = med("sum_with_" + d), med("sum_without_" + d)
        overhead = w / wo - 1
        row("Checksum check, %s" % names[d],
            "%.2f s with the block" % w, spread("sum_with_" + d, lambda s: "%.2f s" % s),
            "without %.2f s (%s)" % (wo, spread("sum_without_" + d, lambda s: "%.2f" % s)),
            "%+.1f%%" % (overhead * 100), "<= +5.0%", overhead <= 0.05)

    for d in ("small", "large"):
        largest = values["%s_largest" % d][0]
        budget = largest + 4 * MIB
        growth = values["private_growth_" + d]
        priv = max(growth)
        row("Peak memory, %s" % names[d],
            "%.1f MiB private" % (priv / MIB), "%.1f-%.1f MiB" % (min(growth) / MIB, priv / MIB),
            "largest record %.2f MiB; after: %+.2f MiB" % (largest / MIB, max(values["private_left_" + d]) / MIB),
            "", "<= %.1f MiB" % (budget / MIB), priv <= budget)

    su, sw = med("startup_setup"), med("startup_window")
    ratio = su / sw
    row("Start-up to first paint (Wine)",
        "%.0f ms" % su, spread("startup_setup", lambda s: "%.0f" % s) + " ms",
        "minimal window %.0f ms (%s ms)" % (sw, spread("startup_window", lambda s: "%.0f" % s)),
        "%.2fx" % ratio, "<= 1.50x", ratio <= 1.5)

    pk, ct = med("pack"), med("cat")
    ratio = ct / pk
    row("Packaging (setuppack pack)",
        "%s (%.2f s)" % (mbps(pk), pk), spread("pack", lambda s: "%.2f s" % s),
        "cat %s (%.2f s; %s)" % (mbps(ct), ct, spread("cat", lambda s: "%.2f" % s)),
        "%.2fx" % ratio, ">= 0.80x", ratio >= 0.8)

    s32, s64 = int(values["size32"][0]), int(values["size64"][0])
    row("Program size, 32-bit setup-image.exe", "%d bytes" % s32, "", "64-bit: %d bytes" % s64,
        "", "<= %d" % args.size_limit, s32 <= args.size_limit)

    head = ("Figure", "Median", "Spread (min-max)", "Yardstick, same run", "Ratio", "Target", "Result")
    widths = [max(len(str(r[i])) for r in rows + [head]) for i in range(len(head))]
    line = "  ".join("%-*s" % (w, h) for w, h in zip(widths, head))
    for d in ("small", "large"):
        print("Payload of %s: %d files, %.1f MB, largest file %.2f MiB" %
              (names[d], values[d + "_files"][0], values[d + "_bytes"][0] / MB, values[d + "_largest"][0] / MIB))
    print("Packaging: all %d files, %.1f MB; %d runs of each timing" %
          (args.files, args.bytes / MB, len(values["extract_small"])))
    print(line)
    print("-" * len(line))
    for r in rows:
        print("  ".join("%-*s" % (w, c) for w, c in zip(widths, r)).rstrip())
    return 0


if __name__ == "__main__":
    sys.exit(main())
