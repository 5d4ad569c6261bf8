#!/usr/bin/env python3
"""Prints the table of scripts/bench from its results file ("key value" lines,
one per measurement, in the order taken; "order_FIGURE a,b,..." gives the
order of the sides in each round): medians, spreads, ratios against the
yardsticks, targets; then every round's times, and each ratio in the rounds
where the program went first against those where its yardstick did.
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

    raw = {}   # every value of a key as taken, "failed" for a failed start
    with open(args.results) as f:
        for line in f:
            key, _, value = line.strip().partition(" ")
            if value:
                raw.setdefault(key, []).append(value)

    def number(text):
        try:
            return float(text)
        except ValueError:
            return None

    values = {k: [x for x in map(number, v) if x is not None] for k, v in raw.items()}

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

        sides = (("copy", "CopyFileA"), ("floor", "floor"), ("floor-reuse", "floor, one block"))
        for side, label in sides:
            key = "%s_%s" % (side, d)
            if key not in values:
                continue
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
    # without the checksum block.
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
    early, failed = len(raw.get("startup_idle_early", [])), sum(
        v == "failed" for k in ("startup_setup", "startup_window") for v in raw.get(k, []))
    if early or failed:
        print("Start-ups: %d went idle before their first paint (timed to the paint), %d failed" % (early, failed))

    # Every round, in the order its sides ran. A ratio is a time over the
    # program's in the same round: the yardstick's for the extraction and the
    # packaging, as in the table; for the checksum check with the block over
    # without, for the start-up setup.exe over the minimal window.
    print()
    print("Every round (seconds; ms for the start-up), the sides in the order they ran:")
    figures = [
        ("Extraction, small files", "order_small", "extract", {
            "extract": "extract_small", "floor": "floor_small", "copy": "copy_small"}, ("floor", "copy")),
        ("Extraction, large records", "order_large", "extract", {
            "extract": "extract_large", "floor": "floor_large", "reuse": "floor-reuse_large",
            "copy": "copy_large"}, ("floor", "reuse", "copy")),
        ("Checksum check, small files", "order_sum_small", "without", {
            "with": "sum_with_small", "without": "sum_without_small"}, ("with",)),
        ("Checksum check, large records", "order_sum_large", "without", {
            "with": "sum_with_large", "without": "sum_without_large"}, ("with",)),
        ("Start-up", "order_startup", "window", {
            "setup": "startup_setup", "window": "startup_window"}, ("setup",)),
        ("Packaging", "order_pack", "pack", {"pack": "pack", "cat": "cat"}, ("cat",)),
    ]
    for title, order_key, program, keys, yardsticks in figures:
        orders = [o.split(",") for o in raw.get(order_key, [])]
        if not orders:
            continue
        print(title + ":")
        taken = {side: 0 for side in keys}
        by_order = {(y, first): [] for y in yardsticks for first in (True, False)}
        for i, order in enumerate(orders, 1):
            times = {}
            for side in order:
                times[side] = number(raw[keys[side]][taken[side]])
                taken[side] += 1
            cells = ["%s %s" % (side, "failed" if times[side] is None else "%.3g" % times[side])
                     for side in order]
            ratios = []
            for y in yardsticks:
                if times[y] is not None and times[program] is not None:
                    ratio = times[y] / times[program]
                    ratios.append("%s/%s %.2fx" % (y, program, ratio))
                    by_order[(y, order.index(program) < order.index(y))].append(ratio)
            print("  %2d  %-48s %s" % (i, "  ".join(cells), "  ".join(ratios)))
        for y in yardsticks:
            first, second = by_order[(y, True)], by_order[(y, False)]
            if first and second:
                print("      %s/%s: %.2fx with %s first (%d rounds), %.2fx with %s first (%d rounds)" %
                      (y, program, statistics.median(first), program, len(first),
                       statistics.median(second), y, len(second)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
