#!/usr/bin/env python3
"""Draw the setup's pictures and write them as Windows bitmap and icon files.

    make_pictures.py          write splash.bmp, userpic.bmp and setup.ico beside
                              this script, then check them
    make_pictures.py --check  only check the three files already there

The files are committed; run this script again only to change a picture.
The output is deterministic: the same script always writes the same bytes
(the drawing uses only exactly rounded arithmetic: + - * / and sqrt,
no trigonometry or powers).

splash.bmp   380 x 368, 8 bits per pixel, 255-entry colour table, BI_RGB.
             The main window paints it at (10, 12) on white; its command
             buttons (dark blue, 300 x 30, left edge at window x 260, tops at
             window y 75, 135, 195, 255) lie over the picture's right part,
             so the artwork keeps picture x >= 250, y 63..273 plain.
userpic.bmp  48 x 45, 8 bits per pixel, full 256-entry colour table, BI_RGB:
             a desktop computer and a software box on dialog grey.
setup.ico    one 32 x 32 image, 16 colours (4 bits per pixel, VGA palette),
             the same motif, transparent outside it.

Python 3 standard library only.
"""

import bisect
import math
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SPLASH = os.path.join(HERE, "splash.bmp")
USERPIC = os.path.join(HERE, "userpic.bmp")
ICON = os.path.join(HERE, "setup.ico")

SPLASH_W, SPLASH_H, SPLASH_COLOURS = 380, 368, 255
USERPIC_W, USERPIC_H, USERPIC_COLOURS = 48, 45, 256
ICON_SIZE = 32
DIALOG_GREY = (192, 192, 192)

# The standard 16-colour VGA palette, in the order Windows uses.
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


# ---------------------------------------------------------------------------
# File formats
# ---------------------------------------------------------------------------

def _rgbquads(palette):
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)


def _packed_rows(rows, bits):
    """Pixel rows (top-down lists of indices) as bottom-up, 4-byte padded rows."""
    out = []
    for row in reversed(rows):
        if bits == 8:
            data = bytes(row)
        elif bits == 4:
            data = bytes((row[i] << 4) | (row[i + 1] if i + 1 < len(row) else 0)
                         for i in range(0, len(row), 2))
        elif bits == 1:
            data = bytearray((len(row) + 7) // 8)
            for i, bit in enumerate(row):
                if bit:
                    data[i // 8] |= 0x80 >> (i % 8)
            data = bytes(data)
        else:
            raise ValueError(bits)
        out.append(data + b"\0" * (-len(data) % 4))
    return b"".join(out)


def _infoheader(width, height, bits, image_size, clr_used):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0,
                       image_size, 0, 0, clr_used, 0)


def bmp8_bytes(rows, palette, clr_used):
    """An uncompressed 8-bit DIB file; palette has clr_used entries."""
    assert len(palette) == clr_used
    height, width = len(rows), len(rows[0])
    pixels = _packed_rows(rows, 8)
    off = 14 + 40 + 4 * len(palette)
    header = struct.pack("<2sIHHI", b"BM", off + len(pixels), 0, 0, off)
    return (header + _infoheader(width, height, 8, len(pixels), clr_used)
            + _rgbquads(palette) + pixels)


def ico4_bytes(rows):
    """A one-image icon file: 32 x 32, 4 bits per pixel, VGA palette.

    rows holds VGA palette indices, or None for transparent pixels."""
    size = len(rows)
    xor = _packed_rows([[0 if p is None else p for p in r] for r in rows], 4)
    mask = _packed_rows([[1 if p is None else 0 for p in r] for r in rows], 1)
    image = (_infoheader(size, 2 * size, 4, len(xor) + len(mask), 0)
             + _rgbquads(VGA16) + xor + mask)
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), 22)
    return icondir + entry + image


# ---------------------------------------------------------------------------
# Checking the written files
# ---------------------------------------------------------------------------

class Bad(Exception):
    pass


def _expect(what, got, want):
    if got != want:
        raise Bad("%s is %r, expected %r" % (what, got, want))


def parse_infoheader(data, off):
    keys = ("biSize", "biWidth", "biHeight", "biPlanes", "biBitCount",
            "biCompression", "biSizeImage", "biXPelsPerMeter",
            "biYPelsPerMeter", "biClrUsed", "biClrImportant")
    return dict(zip(keys, struct.unpack_from("<IiiHHIIiiII", data, off)))


def check_bmp8(path, width, height, clr_used, palette_len):
    data = open(path, "rb").read()
    magic, size, _r1, _r2, off = struct.unpack_from("<2sIHHI", data, 0)
    _expect(path + ": signature", magic, b"BM")
    _expect(path + ": bfSize", size, len(data))
    bi = parse_infoheader(data, 14)
    _expect(path + ": biSize", bi["biSize"], 40)
    _expect(path + ": biWidth", bi["biWidth"], width)
    _expect(path + ": biHeight", bi["biHeight"], height)
    _expect(path + ": biPlanes", bi["biPlanes"], 1)
    _expect(path + ": biBitCount", bi["biBitCount"], 8)
    _expect(path + ": biCompression", bi["biCompression"], 0)
    _expect(path + ": biClrUsed", bi["biClrUsed"], clr_used)
    _expect(path + ": bfOffBits", off, 14 + 40 + 4 * palette_len)
    stride = (width + 3) & ~3
    _expect(path + ": pixel bytes", len(data) - off, stride * height)
    if bi["biSizeImage"] not in (0, stride * height):
        raise Bad("%s: biSizeImage is %d" % (path, bi["biSizeImage"]))
    top = max(data[off + y * stride + x] for y in range(height)
              for x in range(width))
    if top >= palette_len:
        raise Bad("%s: pixel index %d outside the colour table" % (path, top))
    return "%s: %d x %d, 8 bpp, BI_RGB, %d colours, %d bytes" % (
        os.path.basename(path), width, height, palette_len, len(data))


def check_ico(path):
    data = open(path, "rb").read()
    _expect(path + ": ICONDIR", struct.unpack_from("<HHH", data, 0), (0, 1, 1))
    w, h, colours, res, planes, bits, nbytes, offset = struct.unpack_from(
        "<BBBBHHII", data, 6)
    _expect(path + ": entry size", (w, h), (32, 32))
    _expect(path + ": entry colour count", colours, 16)
    _expect(path + ": entry reserved", res, 0)
    _expect(path + ": entry planes/bit count", (planes, bits), (1, 4))
    _expect(path + ": image offset", offset, 22)
    _expect(path + ": bytes in resource", nbytes, len(data) - 22)
    _expect(path + ": bytes in resource", nbytes, 40 + 64 + 32 * 16 + 32 * 4)
    bi = parse_infoheader(data, 22)
    _expect(path + ": biSize", bi["biSize"], 40)
    _expect(path + ": biWidth/biHeight", (bi["biWidth"], bi["biHeight"]),
            (32, 64))
    _expect(path + ": biPlanes/biBitCount", (bi["biPlanes"], bi["biBitCount"]),
            (1, 4))
    _expect(path + ": biCompression", bi["biCompression"], 0)
    if bi["biClrUsed"] not in (0, 16):
        raise Bad("%s: biClrUsed is %d" % (path, bi["biClrUsed"]))
    _expect(path + ": palette", data[62:126], _rgbquads(VGA16))
    mask = data[126 + 512:]
    clear = sum(bin(b).count("1") for b in mask)
    if not 0 < clear < 32 * 32:
        raise Bad("%s: AND mask is all %s" % (path, "opaque" if not clear
                                              else "transparent"))
    return "%s: 32 x 32, 4 bpp, 16 colours (VGA), AND mask %d of 1024 " \
           "pixels transparent, %d bytes" % (os.path.basename(path), clear,
                                              len(data))


def check_all():
    ok = True
    for check in (lambda: check_bmp8(SPLASH, SPLASH_W, SPLASH_H,
                                     SPLASH_COLOURS, SPLASH_COLOURS),
                  lambda: check_bmp8(USERPIC, USERPIC_W, USERPIC_H,
                                     USERPIC_COLOURS, USERPIC_COLOURS),
                  lambda: check_ico(ICON)):
        try:
            print("ok   " + check())
        except (Bad, OSError, struct.error) as e:
            print("FAIL %s" % e)
            ok = False
    return ok


# ---------------------------------------------------------------------------
# Anti-aliased drawing on a floating-point RGB canvas
# ---------------------------------------------------------------------------

def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def smoothstep(e0, e1, v):
    t = clamp((v - e0) / (e1 - e0))
    return t * t * (3 - 2 * t)


def mix(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


class Canvas:
    def __init__(self, w, h, fill=(0, 0, 0)):
        self.w, self.h = w, h
        self.px = [[tuple(fill) for _ in range(w)] for _ in range(h)]

    def blend(self, x, y, colour, alpha):
        if 0 <= x < self.w and 0 <= y < self.h and alpha > 0:
            if alpha >= 1:
                self.px[y][x] = colour
            else:
                self.px[y][x] = mix(self.px[y][x], colour, alpha)

    def paint(self, mask, colour, alpha=1.0, dx=0, dy=0):
        """Composite a Mask; colour is an RGB tuple or a function (x, y)."""
        for my, row in enumerate(mask.rows):
            y = mask.y0 + my + dy
            for mx, cov in enumerate(row):
                if cov > 0:
                    x = mask.x0 + mx + dx
                    c = colour(x, y) if callable(colour) else colour
                    self.blend(x, y, c, cov * alpha)


class Mask:
    """Coverage values (0..1) over a rectangle of pixels."""

    def __init__(self, x0, y0, w, h):
        self.x0, self.y0 = x0, y0
        self.rows = [[0.0] * w for _ in range(h)]

    def at(self, x, y):
        mx, my = x - self.x0, y - self.y0
        if 0 <= my < len(self.rows) and 0 <= mx < len(self.rows[0]):
            return self.rows[my][mx]
        return 0.0

    def blurred(self, radius, passes=3):
        """A box blur repeated passes times (close to a Gaussian)."""
        pad = radius * passes + 1
        h, w = len(self.rows), len(self.rows[0])
        out = Mask(self.x0 - pad, self.y0 - pad, w + 2 * pad, h + 2 * pad)
        for y, row in enumerate(self.rows):
            out.rows[y + pad][pad:pad + w] = row[:]
        n = 2 * radius + 1
        for _ in range(passes):
            out.rows = [_box1d(r, radius, n) for r in out.rows]
            cols = [_box1d([r[x] for r in out.rows], radius, n)
                    for x in range(len(out.rows[0]))]
            out.rows = [list(r) for r in zip(*cols)]
        return out


def _box1d(values, radius, n):
    out = [0.0] * len(values)
    acc = 0.0
    ext = [0.0] * radius + values + [0.0] * (radius + 1)
    for i in range(n - 1):
        acc += ext[i]
    for i in range(len(values)):
        acc += ext[i + n - 1]
        out[i] = acc / n
        acc -= ext[i]
    return out


def rasterize(polys, sub=8):
    """Coverage Mask of the union (non-zero winding) of polygons."""
    edges = []
    polys = [oriented(p) for p in polys]
    xs = [p[0] for poly in polys for p in poly]
    ys = [p[1] for poly in polys for p in poly]
    for poly in polys:
        for i in range(len(poly)):
            (xa, ya), (xb, yb) = poly[i], poly[(i + 1) % len(poly)]
            if ya == yb:
                continue
            d = 1 if yb > ya else -1
            if ya > yb:
                xa, ya, xb, yb = xb, yb, xa, ya
            edges.append((ya, yb, xa, (xb - xa) / (yb - ya), d))
    x0, y0 = int(min(xs)) - 1, int(min(ys)) - 1
    x1, y1 = int(max(xs)) + 2, int(max(ys)) + 2
    mask = Mask(x0, y0, x1 - x0, y1 - y0)
    w = x1 - x0
    for my, row in enumerate(mask.rows):
        for s in range(sub):
            y = y0 + my + (s + 0.5) / sub
            hits = sorted((xa + (y - ya) * k, d)
                          for ya, yb, xa, k, d in edges if ya <= y < yb)
            wind = 0
            start = 0.0
            for x, d in hits:
                before = wind
                wind += d
                if before == 0 and wind != 0:
                    start = x
                elif before != 0 and wind == 0:
                    _span(row, start - x0, x - x0, 1.0 / sub, w)
        for i, v in enumerate(row):
            if v > 1.0:
                row[i] = 1.0
    return mask


def oriented(poly):
    """The polygon with its points in clockwise order (as seen on screen)."""
    area = sum(x0 * y1 - x1 * y0 for (x0, y0), (x1, y1)
               in zip(poly, poly[1:] + poly[:1]))
    return list(poly) if area >= 0 else list(reversed(poly))


def _span(row, a, b, weight, w):
    a, b = max(a, 0.0), min(b, float(w))
    if b <= a:
        return
    ia, ib = int(a), int(b)
    if ia == ib:
        row[ia] += (b - a) * weight
        return
    row[ia] += (ia + 1 - a) * weight
    for i in range(ia + 1, ib):
        row[i] += weight
    if ib < w:
        row[ib] += (b - ib) * weight


def rect(x0, y0, x1, y1):
    return [(x0, y0), (x1, y0), (x1, y1), (x0, y1)]


def rounded_rect(x0, y0, x1, y1, r, steps=6):
    """Polygon of a rectangle with rounded corners (no trigonometry)."""
    # exact points of a quarter circle from the rational parametrisation
    # ((1 - t^2) / (1 + t^2), 2t / (1 + t^2)), t from 0 to 1
    q = [((1 - t * t) / (1 + t * t), 2 * t / (1 + t * t))
         for t in (i / steps for i in range(steps + 1))]
    pts = [(x1 - r + s * r, y0 + r - c * r) for c, s in q]     # top right
    pts += [(x1 - r + c * r, y1 - r + s * r) for c, s in q]    # bottom right
    pts += [(x0 + r - s * r, y1 - r + c * r) for c, s in q]    # bottom left
    pts += [(x0 + r - c * r, y0 + r - s * r) for c, s in q]    # top left
    return pts


def transform(polys, sx, sy, dx, dy):
    return [[(dx + x * sx, dy + y * sy) for x, y in p] for p in polys]


# ---------------------------------------------------------------------------
# Lettering
# ---------------------------------------------------------------------------

CAP = 10.0      # cap height in glyph units; y grows downwards, baseline at CAP


def glyph(ch, s, c):
    """Polygons and advance of a blocky letter; s = stroke, c = chamfer."""
    t = CAP - 7.0                   # top of the lower-case letters
    m = t + 3.5                     # middle of the lower-case letters
    if ch == "q":
        w, desc = 7.0, 3.4
        return [[(c, t), (w - s + .02, t), (w - s + .02, t + s), (s, t + s),
                 (s, CAP - s), (w - s + .02, CAP - s), (w - s + .02, CAP),
                 (c, CAP), (0, CAP - c), (0, t + c)],
                [(w - s, t), (w - c, t), (w, t + c), (w, CAP + desc),
                 (w - s, CAP + desc)]], w
    if ch == "A":
        w = 7.2
        return [[(0, CAP), (0, c), (c, 0), (w - c, 0), (w, c), (w, CAP),
                 (w - s, CAP), (w - s, s), (s, s), (s, CAP)],
                rect(s - .02, 5.3, w - s + .02, 5.3 + .9 * s)], w
    if ch == "R":
        w, yb = 7.0, 6.1
        return [rect(0, 0, s, CAP),
                [(0, 0), (w - c, 0), (w, c), (w, yb - c), (w - c, yb),
                 (0, yb), (0, yb - s), (w - s, yb - s), (w - s, s), (0, s)],
                [(w * .36, yb - .4), (w * .36 + 1.15 * s, yb - .4), (w, CAP),
                 (w - 1.15 * s, CAP)]], w
    if ch == "N":
        w = 7.4
        return [rect(0, 0, s, CAP), rect(w - s, 0, w, CAP),
                [(0, 0), (1.1 * s, 0), (w, CAP), (w - 1.1 * s, CAP)]], w
    if ch == "E":
        w = 6.2
        return [[(c, 0), (w, 0), (w, s), (s, s), (s, CAP - s), (w, CAP - s),
                 (w, CAP), (c, CAP), (0, CAP - c), (0, c)],
                rect(s - .02, 5 - .45 * s, w * .86, 5 + .45 * s)], w
    if ch == "L":
        w = 6.0
        return [[(0, 0), (s, 0), (s, CAP - s), (w, CAP - s), (w, CAP),
                 (c, CAP), (0, CAP - c)]], w
    if ch == "b":
        w = 6.4
        return [rect(0, 0, s, CAP),
                [(0, t), (w - c, t), (w, t + c), (w, CAP - c), (w - c, CAP),
                 (0, CAP), (0, CAP - s), (w - s, CAP - s), (w - s, t + s),
                 (0, t + s)]], w
    if ch == "e":
        w = 6.2
        return [[(0, t + c), (c, t), (w - c, t), (w, t + c), (w, m + s / 2),
                 (w - s, m + s / 2), (w - s, t + s), (s, t + s), (s, CAP - s),
                 (w, CAP - s), (w, CAP), (c, CAP), (0, CAP - c)],
                rect(s - .02, m - s / 2, w, m + s / 2)], w
    if ch == "t":
        w, x = 5.0, 1.1
        return [[(x, t - 2.4), (x + s, t - 2.4), (x + s, CAP - s), (w, CAP - s),
                 (w, CAP), (x + c, CAP), (x, CAP - c)],
                rect(0, t, w - .4, t + s)], w
    if ch == "a":
        w = 6.2
        return [[(0, t), (w - c, t), (w, t + c), (w, CAP), (w - s, CAP),
                 (w - s, t + s), (0, t + s)],
                [(0, m - s / 2), (w - s + .02, m - s / 2),
                 (w - s + .02, m + s / 2), (s, m + s / 2), (s, CAP - s),
                 (w - s + .02, CAP - s), (w - s + .02, CAP), (c, CAP),
                 (0, CAP - c)]], w
    raise KeyError(ch)


def word_polys(text, x, baseline, scale, s=2.3, c=1.7, gap=1.4):
    """Polygons of a word set in the blocky letters; returns (polys, right)."""
    polys = []
    for ch in text:
        ps, w = glyph(ch, s, c)
        polys += transform(ps, scale, scale, x, baseline - CAP * scale)
        x += (w + gap) * scale
    return polys, x - gap * scale


# A 5 x 7 pixel font for the small caption.
FONT5X7 = {
    "A": (".###.", "#...#", "#...#", "#####",
          "#...#", "#...#", "#...#"),
    "B": ("####.", "#...#", "#...#", "####.",
          "#...#", "#...#", "####."),
    "C": (".####", "#....", "#....", "#....",
          "#....", "#....", ".####"),
    "D": ("####.", "#...#", "#...#", "#...#",
          "#...#", "#...#", "####."),
    "E": ("#####", "#....", "#....", "####.",
          "#....", "#....", "#####"),
    "F": ("#####", "#....", "#....", "####.",
          "#....", "#....", "#...."),
    "H": ("#...#", "#...#", "#...#", "#####",
          "#...#", "#...#", "#...#"),
    "K": ("#...#", "#..#.", "#.#..", "##...",
          "#.#..", "#..#.", "#...#"),
    "L": ("#....", "#....", "#....", "#....",
          "#....", "#....", "#####"),
    "N": ("#...#", "##..#", "#.#.#", "#..##",
          "#...#", "#...#", "#...#"),
    "O": (".###.", "#...#", "#...#", "#...#",
          "#...#", "#...#", ".###."),
    "P": ("####.", "#...#", "#...#", "####.",
          "#....", "#....", "#...."),
    "R": ("####.", "#...#", "#...#", "####.",
          "#.#..", "#..#.", "#...#"),
    "T": ("#####", "..#..", "..#..", "..#..",
          "..#..", "..#..", "..#.."),
    "V": ("#...#", "#...#", "#...#", "#...#",
          "#...#", ".#.#.", "..#.."),
    "-": (".....", ".....", ".....", ".###.",
          ".....", ".....", "....."),
    " ": (".....", ".....", ".....", ".....",
          ".....", ".....", "....."),
}


def caption_mask(text, x, y, scale):
    """Pixel-font text as a Mask (crisp: whole pixels only)."""
    w = len(text) * 6 * scale
    mask = Mask(x, y, w, 7 * scale)
    for i, ch in enumerate(text):
        for gy, bits in enumerate(FONT5X7[ch]):
            for gx in range(5):
                if bits[gx] == "#":
                    for yy in range(scale):
                        row = mask.rows[gy * scale + yy]
                        for xx in range(scale):
                            row[(i * 6 + gx) * scale + xx] = 1.0
    return mask


# ---------------------------------------------------------------------------
# Colour reduction: median cut to a fixed number of colours
# ---------------------------------------------------------------------------

def median_cut(counts, n):
    """Palette of at most n colours for {rgb: count}, and the mapping."""
    boxes = [sorted(counts.items())]
    while len(boxes) < n:
        best, best_score, best_ch = None, -1, 0
        for i, box in enumerate(boxes):
            if len(box) < 2:
                continue
            spans = [max(c[k] for c, _ in box) - min(c[k] for c, _ in box)
                     for k in range(3)]
            ch = spans.index(max(spans))
            total = sum(k for _, k in box)
            score = spans[ch] * spans[ch] * total
            if score > best_score:
                best, best_score, best_ch = i, score, ch
        if best is None:
            break
        box = sorted(boxes[best], key=lambda e: (e[0][best_ch], e[0]))
        half, acc, cut = sum(k for _, k in box) / 2, 0, 1
        for j, (_, k) in enumerate(box[:-1]):
            acc += k
            cut = j + 1
            if acc >= half:
                break
        boxes[best:best + 1] = [box[:cut], box[cut:]]
    palette, mapping = [], {}
    for box in boxes:
        total = sum(k for _, k in box)
        mean = tuple(int(sum(c[ch] * k for c, k in box) / total + 0.5)
                     for ch in range(3))
        for c, _ in box:
            mapping[c] = len(palette)
        palette.append(mean)
    return palette, mapping


def nearest_mapping(colours, palette, guess):
    """Map each colour to its nearest palette entry (lowest index on ties)."""
    by_red = sorted((c[0], i) for i, c in enumerate(palette))
    reds = [r for r, _ in by_red]
    mapping = {}
    for c in colours:
        best = guess[c]
        p = palette[best]
        best_d = sum((a - b) * (a - b) for a, b in zip(c, p))
        reach = int(math.sqrt(best_d)) + 1
        lo = bisect.bisect_left(reds, c[0] - reach)
        hi = bisect.bisect_right(reds, c[0] + reach)
        for _, i in by_red[lo:hi]:
            p = palette[i]
            d = sum((a - b) * (a - b) for a, b in zip(c, p))
            if d < best_d or (d == best_d and i < best):
                best, best_d = i, d
        mapping[c] = best
    return mapping


# 4 x 4 ordered-dither thresholds, centred on zero
BAYER4 = [[(v + 0.5) / 16 - 0.5 for v in row] for row in
          ((0, 8, 2, 10), (12, 4, 14, 6), (3, 11, 1, 9), (15, 7, 13, 5))]


def to_indexed(canvas, ncolours, dither=0.0):
    """Reduce the canvas to ncolours; dither is the ordered-dither amplitude
    in colour levels (0 for none)."""
    pixels = [[tuple(int(clamp(v + dither * BAYER4[y % 4][x % 4], 0, 255) + 0.5)
                     for v in p) for x, p in enumerate(row)]
              for y, row in enumerate(canvas.px)]
    counts = {}
    for row in pixels:
        for p in row:
            counts[p] = counts.get(p, 0) + 1
    palette, boxes = median_cut(counts, ncolours)
    mapping = nearest_mapping(sorted(counts), palette, boxes)
    while len(palette) < ncolours:           # a very plain picture
        palette.append((0, 0, 0))
    return [[mapping[p] for p in row] for row in pixels], palette


# ---------------------------------------------------------------------------
# The splash picture
# ---------------------------------------------------------------------------

WHITE = (255, 255, 255)


def splash_background(x, y):
    """Deep blue at the top to light blue at the bottom, with light bands."""
    v = y / (SPLASH_H - 1)
    top, middle, bottom = (6, 20, 72), (24, 72, 160), (112, 168, 232)
    base = mix(top, middle, v / 0.55) if v < 0.55 else \
        mix(middle, bottom, (v - 0.55) / 0.45)
    # a little lighter towards the right, where the command buttons lie
    base = mix(base, (70, 130, 215), 0.22 * smoothstep(120, 380, x))
    # soft diagonal bands of light, rising from lower left to upper right
    u = x + 0.75 * y
    light = 0.0
    for centre, width, strength in ((250, 60, 0.10), (330, 22, 0.07),
                                    (470, 90, 0.09), (560, 30, 0.06)):
        d = (u - centre) / width
        if -1 < d < 1:
            light += strength * (1 - d * d) * (1 - d * d)
    return mix(base, (200, 230, 255), light)


def add_glow(canvas, cx, cy, radius, colour, strength):
    for y in range(max(0, int(cy - radius)), min(canvas.h, int(cy + radius) + 1)):
        for x in range(max(0, int(cx - radius)), min(canvas.w, int(cx + radius) + 1)):
            d = math.sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy)) / radius
            if d < 1:
                canvas.blend(x, y, colour, strength * (1 - d) * (1 - d))


def vertical(c0, c1, y0, y1):
    """A colour function: vertical gradient from c0 at y0 to c1 at y1."""
    return lambda x, y: mix(c0, c1, clamp((y - y0) / (y1 - y0)))


def draw_handheld(cv):
    """An open handheld PC with a book on its screen."""
    lid = rounded_rect(34, 96, 226, 224, 10)
    base = [(32, 232), (228, 232), (244, 296), (16, 296)]
    lip = [(16, 296), (244, 296), (241, 305), (19, 305)]
    # shadow on the background
    shadow = rasterize([lid, base, lip]).blurred(4)
    cv.paint(shadow, (2, 8, 36), 0.55, 7, 9)

    # lid and screen
    cv.paint(rasterize([lid]), vertical((84, 94, 124), (46, 52, 72), 96, 224))
    cv.paint(rasterize([rounded_rect(36, 98, 224, 222, 9)]),
             vertical((70, 80, 108), (40, 46, 64), 98, 222))
    cv.paint(rasterize([rounded_rect(46, 106, 214, 212, 4)]), (18, 22, 34))
    lcd = (50, 110, 210, 208)
    cv.paint(rasterize([rect(*lcd)]),
             lambda x, y: mix((214, 228, 240), (176, 198, 220),
                              clamp((y - 110) / 98 * 0.7 + (x - 50) / 160 * 0.3)))
    # taskbar along the bottom of the screen, with a start button
    cv.paint(rasterize([rect(50, 199, 210, 208)]), (128, 146, 172))
    cv.paint(rasterize([rect(50, 199, 210, 200)]), (232, 240, 248), 0.8)
    cv.paint(rasterize([rect(52, 201, 70, 207)]), (196, 208, 224))
    cv.paint(rasterize([rect(53, 202, 57, 206)]), (40, 80, 170))
    cv.paint(rasterize([rect(192, 201, 208, 207)]), (110, 128, 156))

    # the open book on the screen
    spine = 130
    left = [(62, 124), (84, 119), (108, 119), (spine, 124),
            (spine, 194), (108, 189), (84, 189), (62, 193)]
    right = [(2 * spine - x, y) for x, y in reversed(left)]
    cv.paint(rasterize([[(x, y + 3) for x, y in left + right]]).blurred(2),
             (40, 60, 90), 0.35)
    cv.paint(rasterize([[(x - 1.5, y + 1.5) for x, y in left]]), (150, 165, 185))
    cv.paint(rasterize([[(x + 1.5, y + 1.5) for x, y in right]]), (150, 165, 185))
    page = lambda x, y: mix((255, 255, 255), (206, 216, 232),
                            smoothstep(spine - 22, spine, x) if x < spine
                            else smoothstep(spine + 22, spine, x))
    cv.paint(rasterize([left]), page)
    cv.paint(rasterize([right]), page)
    cv.paint(rasterize([rect(spine - .6, 124, spine + .6, 194)]), (120, 136, 160))
    ink = (96, 112, 150)
    for i in range(9):
        y = 132 + 6.6 * i
        for x0, x1 in ((69, spine - 8), (spine + 8, 2 * spine - 69)):
            if i == 0:
                x1 = x0 + (x1 - x0) * 0.55     # a chapter heading
                cv.paint(rasterize([rect(x0, y - .6, x1, y + 2.2)]), (40, 70, 150))
                continue
            if i == 8 and x0 > spine:
                x1 = x0 + (x1 - x0) * 0.4      # the end of a paragraph
            cv.paint(rasterize([rect(x0, y, x1, y + 1.6)]), ink, 0.85)

    # hinge
    cv.paint(rasterize([rounded_rect(30, 222, 230, 233, 4)]),
             vertical((30, 34, 48), (58, 64, 86), 222, 233))
    for hx in (48, 196):
        cv.paint(rasterize([rounded_rect(hx, 221, hx + 16, 234, 5)]),
                 vertical((120, 130, 156), (52, 58, 78), 221, 234))

    # base with keyboard
    cv.paint(rasterize([base]), vertical((74, 84, 112), (46, 52, 72), 232, 296))
    cv.paint(rasterize([lip]), vertical((34, 38, 54), (20, 22, 32), 296, 305))
    cv.paint(rasterize([rect(18, 296, 242, 297)]), (120, 132, 160), 0.7)
    well = [(44, 237), (216, 237), (226, 284), (34, 284)]
    cv.paint(rasterize([well]), (24, 28, 40))
    rows, cols = 5, 12

    def key_x(k, yy):
        """x of key column edge k (0..cols) at height yy, in perspective."""
        xl = 44 + (34 - 44) * (yy - 237) / 47 + 3
        xr = 216 + (226 - 216) * (yy - 237) / 47 - 3
        return xl + (xr - xl) * k / cols

    for r in range(rows):
        ya = 239.5 + r * 8.9
        yb = ya + 7.0
        if r < rows - 1:
            keys = [(k, k + 1) for k in range(cols)]
        else:                                   # bottom row with space bar
            keys = [(0, 1.5), (1.5, 3), (3, 9), (9, 10.5), (10.5, 12)]
        for k0, k1 in keys:
            key = [(key_x(k0, ya) + 1, ya), (key_x(k1, ya) - 1, ya),
                   (key_x(k1, yb) - 1, yb), (key_x(k0, yb) + 1, yb)]
            cv.paint(rasterize([key]), vertical((200, 208, 226), (132, 142, 168),
                                                ya, yb))
    # power light
    cv.paint(rasterize([rounded_rect(222, 288, 232, 292, 2)]), (120, 230, 255))
    cv.paint(rasterize([rounded_rect(219, 285, 235, 295, 5)]).blurred(2),
             (120, 230, 255), 0.5)
    # a soft highlight along the top of the lid
    cv.paint(rasterize([rect(44, 97, 216, 98.2)]), WHITE, 0.35)


def draw_splash():
    cv = Canvas(SPLASH_W, SPLASH_H)
    for y in range(SPLASH_H):
        row = cv.px[y]
        for x in range(SPLASH_W):
            row[x] = splash_background(x, y)
    add_glow(cv, 130, 200, 170, (140, 196, 255), 0.30)

    # title with its shadow and a light glow
    title, right = word_polys("qARNEL", 18, 58, 4.7)
    mask = rasterize(title)
    cv.paint(mask.blurred(6), (150, 210, 255), 0.35)
    cv.paint(mask.blurred(2), (0, 8, 40), 0.7, 3, 4)
    cv.paint(mask, vertical((255, 255, 255), (186, 214, 250), 12, 58))
    beta, _ = word_polys("beta", right + 9, 58, 2.2, s=2.0, c=1.5, gap=1.2)
    mask = rasterize(beta)
    cv.paint(mask.blurred(1), (0, 8, 40), 0.6, 2, 2)
    cv.paint(mask, (255, 224, 120))

    draw_handheld(cv)

    # caption across the bottom, and the maker's name at the right
    text = "E-BOOK READER FOR HANDHELD PC"
    cap = caption_mask(text, (SPLASH_W - len(text) * 12 + 2) // 2, 326, 2)
    cv.paint(cap, (0, 20, 70), 0.5, 1, 1)
    cv.paint(cap, WHITE, 0.95)

    # rounded corners against the window's white background
    frame = rasterize([rounded_rect(0, 0, SPLASH_W, SPLASH_H, 12)])
    for y in range(SPLASH_H):
        for x in range(SPLASH_W):
            cov = frame.at(x, y)
            if cov < 1:
                cv.px[y][x] = mix(WHITE, cv.px[y][x], cov)
    return to_indexed(cv, SPLASH_COLOURS, dither=2.0)



# ---------------------------------------------------------------------------
# Pixel art: the computer and software box of the user picture and the icon
# ---------------------------------------------------------------------------

class Pixels:
    """A grid of values (RGB tuples or palette indices), drawn pixel by pixel."""

    def __init__(self, w, h, fill):
        self.w, self.h = w, h
        self.rows = [[fill] * w for _ in range(h)]

    def set(self, x, y, v):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.rows[y][x] = v

    def fill(self, x0, y0, x1, y1, v):
        """Fill the rectangle x0..x1, y0..y1 (inclusive)."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, v)

    def hline(self, x0, x1, y, v):
        self.fill(x0, y, x1, y, v)

    def vline(self, x, y0, y1, v):
        self.fill(x, y0, x, y1, v)

    def frame(self, x0, y0, x1, y1, v):
        self.hline(x0, x1, y0, v)
        self.hline(x0, x1, y1, v)
        self.vline(x0, y0, y1, v)
        self.vline(x1, y0, y1, v)

    def bevel(self, x0, y0, x1, y1, light, dark):
        """Raised edge: light along the top and left, dark along the rest."""
        self.hline(x0, x1, y0, light)
        self.vline(x0, y0, y1, light)
        self.hline(x0, x1, y1, dark)
        self.vline(x1, y0 + 1, y1, dark)

    def polygon(self, pts, v):
        """Fill the pixels whose centres lie inside the polygon."""
        ys = [p[1] for p in pts]
        for y in range(int(min(ys)), int(max(ys)) + 1):
            cy = y + 0.5
            xs = []
            for (xa, ya), (xb, yb) in zip(pts, pts[1:] + pts[:1]):
                if (ya <= cy < yb) or (yb <= cy < ya):
                    xs.append(xa + (cy - ya) * (xb - xa) / (yb - ya))
            xs.sort()
            for xa, xb in zip(xs[0::2], xs[1::2]):
                for x in range(int(xa + 0.5), int(xb + 0.5)):
                    self.set(x, y, v)


def draw_userpic():
    """48 x 45: a desktop computer with a software box beside it."""
    K, D, G, W = (0, 0, 0), (64, 64, 64), (128, 128, 128), (255, 255, 255)
    case, case_dk, key = (208, 208, 200), (160, 160, 152), (240, 240, 232)
    navy = (0, 0, 64)
    px = Pixels(USERPIC_W, USERPIC_H, DIALOG_GREY)

    # shadows on the desk
    px.polygon([(2, 42), (34, 42), (35, 44), (3, 44)], (160, 160, 160))
    px.polygon([(41, 42), (45, 38), (47, 38), (47, 40), (43, 44), (34, 44),
                (34, 42)], (160, 160, 160))

    # monitor: case, screen recess and screen
    px.fill(2, 2, 29, 24, case)
    px.bevel(2, 2, 29, 24, W, case_dk)
    px.frame(1, 1, 30, 25, D)
    px.fill(5, 5, 26, 20, G)
    px.hline(5, 26, 5, D)
    px.vline(5, 5, 20, D)
    px.hline(6, 26, 21, W)
    px.vline(27, 6, 21, W)
    px.fill(6, 6, 26, 20, (0, 128, 128))
    # a setup window on the screen
    px.fill(9, 8, 23, 18, (192, 192, 192))
    px.hline(9, 23, 8, W)
    px.vline(9, 8, 18, W)
    px.hline(9, 24, 19, K)
    px.vline(24, 8, 19, K)
    px.fill(10, 9, 22, 10, (0, 0, 128))
    px.set(21, 9, W)
    px.hline(12, 20, 12, G)
    px.hline(12, 18, 14, G)
    px.hline(12, 16, 16, G)
    # power light and vents
    px.set(26, 23, (0, 224, 0))
    px.hline(5, 9, 23, case_dk)
    # stand
    px.fill(12, 26, 19, 27, case_dk)
    px.vline(11, 26, 27, D)
    px.vline(20, 26, 27, D)
    px.fill(8, 28, 23, 29, case)
    px.hline(8, 23, 28, W)
    px.frame(7, 28, 24, 30, D)
    px.hline(8, 23, 29, case)

    # keyboard: top surface with three rows of keys, then its front edge
    px.polygon([(4, 32), (30, 32), (33, 40), (1, 40)], case)
    for y, inset in ((33, 5), (35, 4), (37, 3)):
        for x in range(inset, 32 - inset + 1):
            if (x - inset) % 3 != 2:
                px.set(x, y, key)
                px.set(x, y + 1, G)
    px.fill(11, 39, 22, 39, key)                      # space bar
    px.hline(4, 30, 32, W)
    px.fill(1, 40, 33, 41, case_dk)
    px.hline(4, 30, 31, D)
    px.hline(1, 33, 42, D)
    for y in range(31, 42):
        t = (y - 31) * 3 // 9
        px.set(3 - t, y, D)
        px.set(31 + t, y, D)

    # software box: front, top and side faces
    front, side, top = (32, 80, 208), (16, 40, 136), (128, 168, 240)
    x0, x1, y0, y1, dep = 32, 41, 13, 41, 4
    px.polygon([(x0, y0), (x0 + dep, y0 - dep), (x1 + 1 + dep, y0 - dep),
                (x1 + 1, y0)], top)
    px.polygon([(x1 + 1, y0), (x1 + 1 + dep, y0 - dep),
                (x1 + 1 + dep, y1 + 1 - dep), (x1 + 1, y1 + 1)], side)
    px.fill(x0, y0, x1, y1, front)
    px.vline(x0, y0, y1, (96, 144, 240))             # lit edge
    # label: a yellow band with an open book, title lines, a stripe
    px.fill(x0 + 1, y0 + 4, x1, y0 + 9, (255, 224, 96))
    px.hline(x0 + 1, x1, y0 + 4, (255, 248, 200))
    px.fill(x0 + 2, y0 + 5, x0 + 4, y0 + 8, W)
    px.fill(x0 + 6, y0 + 5, x0 + 8, y0 + 8, W)
    px.vline(x0 + 5, y0 + 5, y0 + 8, (176, 112, 0))
    px.hline(x0 + 2, x0 + 4, y0 + 6, (176, 176, 176))
    px.hline(x0 + 6, x0 + 8, y0 + 6, (176, 176, 176))
    px.hline(x0 + 2, x1 - 1, y0 + 13, (176, 200, 255))
    px.hline(x0 + 2, x1 - 3, y0 + 15, (176, 200, 255))
    px.fill(x0 + 1, y1 - 6, x1, y1 - 4, (255, 224, 96))
    px.hline(x0 + 1, x1, y1 - 5, (224, 96, 32))
    # outline
    px.hline(x0, x1 + 1, y1 + 1, navy)
    px.vline(x0 - 1, y0, y1 + 1, navy)
    px.vline(x1 + 2 + dep, y0 - dep, y1 + 1 - dep, navy)
    px.hline(x0 + dep, x1 + 2 + dep, y0 - dep - 1, navy)
    for i in range(dep + 1):
        px.set(x0 - 1 + i, y0 - i, navy)              # top left edge
        px.set(x1 + 2 + i, y1 + 1 - i, navy)          # bottom right edge
    return px


def indexed_with_palette(px, ncolours, first):
    """Palette indices for an RGB Pixels grid: the palette starts with the
    colours of first, then the picture's own colours, then web-safe colours and greys."""
    palette = list(first)
    for row in px.rows:
        for c in row:
            if c not in palette:
                palette.append(c)
    for r in range(0, 256, 51):
        for g in range(0, 256, 51):
            for b in range(0, 256, 51):
                if len(palette) < ncolours and (r, g, b) not in palette:
                    palette.append((r, g, b))
    for v in range(8, 256, 8):                        # and greys, if need be
        if len(palette) < ncolours and (v, v, v) not in palette:
            palette.append((v, v, v))
    assert len(palette) == ncolours
    index = {c: i for i, c in reversed(list(enumerate(palette)))}
    return [[index[c] for c in row] for row in px.rows], palette



def draw_icon():
    """32 x 32 in the VGA colours; None marks transparent pixels."""
    K, NAVY, TEAL, SILVER, GREY = 0, 4, 6, 7, 8
    YELLOW, BLUE, CYAN, WHITE, RED, GREEN = 11, 12, 14, 15, 9, 10
    px = Pixels(ICON_SIZE, ICON_SIZE, None)

    # monitor
    px.fill(1, 1, 19, 17, SILVER)
    px.bevel(1, 1, 19, 17, WHITE, GREY)
    px.frame(0, 0, 20, 18, K)
    px.fill(3, 3, 17, 14, GREY)
    px.hline(4, 17, 14, WHITE)
    px.vline(17, 4, 14, WHITE)
    px.fill(4, 4, 16, 13, TEAL)
    px.fill(6, 6, 14, 11, SILVER)                     # a window on the screen
    px.hline(6, 14, 6, NAVY)
    px.hline(7, 12, 8, GREY)
    px.hline(7, 10, 10, GREY)
    px.hline(6, 15, 12, K)
    px.vline(15, 7, 12, K)
    px.set(17, 16, GREEN)
    # stand
    px.fill(7, 19, 13, 19, GREY)
    px.vline(6, 19, 19, K)
    px.vline(14, 19, 19, K)
    px.fill(5, 20, 15, 20, SILVER)
    px.hline(7, 13, 20, WHITE)
    px.hline(4, 16, 21, K)
    px.set(4, 20, K)
    px.set(16, 20, K)
    px.hline(4, 5, 19, K)
    px.hline(15, 16, 19, K)

    # keyboard
    px.polygon([(4, 23), (19, 23), (22, 29), (1, 29)], SILVER)
    for y, inset in ((24, 5), (26, 4)):
        for x in range(inset, 23 - inset):
            if (x - inset) % 2 == 0:
                px.set(x, y, GREY)
    px.hline(7, 15, 28, WHITE)                        # space bar
    px.hline(4, 19, 22, K)
    px.hline(1, 22, 29, GREY)
    px.hline(0, 23, 30, K)
    for y in range(22, 31):
        t = (y - 22) * 3 // 8
        px.set(3 - t, y, K)
        px.set(20 + t, y, K)

    # software box
    x0, x1, y0, y1, dep = 22, 28, 9, 29, 3
    px.polygon([(x0, y0), (x0 + dep, y0 - dep), (x1 + 1 + dep, y0 - dep),
                (x1 + 1, y0)], CYAN)
    px.polygon([(x1 + 1, y0), (x1 + 1 + dep, y0 - dep),
                (x1 + 1 + dep, y1 + 1 - dep), (x1 + 1, y1 + 1)], NAVY)
    px.fill(x0, y0, x1, y1, BLUE)
    px.fill(x0 + 1, y0 + 3, x1, y0 + 7, YELLOW)       # label with a book
    px.fill(x0 + 1, y0 + 4, x0 + 2, y0 + 6, WHITE)
    px.fill(x0 + 4, y0 + 4, x0 + 5, y0 + 6, WHITE)
    px.vline(x0 + 3, y0 + 4, y0 + 6, GREY)
    px.hline(x0 + 1, x1 - 1, y0 + 10, CYAN)
    px.hline(x0 + 1, x1 - 2, y0 + 12, CYAN)
    px.hline(x0 + 1, x1, y1 - 4, YELLOW)
    px.hline(x0 + 1, x1, y1 - 3, RED)
    px.hline(x0 - 1, x1 + 1, y1 + 1, K)
    px.vline(x0 - 1, y0, y1 + 1, K)
    px.vline(x1 + 2 + dep, y0 - dep - 1, y1 + 1 - dep, K)
    px.hline(x0 + dep, x1 + 2 + dep, y0 - dep - 1, K)
    for i in range(dep + 1):
        px.set(x0 - 1 + i, y0 - i, K)
        px.set(x1 + 2 + i, y1 + 1 - i, K)
    return px.rows

def main(argv):
    if argv[1:] == ["--check"]:
        return 0 if check_all() else 1
    if argv[1:]:
        print(__doc__)
        return 2
    rows, palette = draw_splash()
    with open(SPLASH, "wb") as f:
        f.write(bmp8_bytes(rows, palette, SPLASH_COLOURS))
    rows, palette = indexed_with_palette(draw_userpic(), USERPIC_COLOURS, VGA16)
    with open(USERPIC, "wb") as f:
        f.write(bmp8_bytes(rows, palette, USERPIC_COLOURS))
    with open(ICON, "wb") as f:
        f.write(ico4_bytes(draw_icon()))
    return 0 if check_all() else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
