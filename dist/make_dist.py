#!/usr/bin/env python3
"""Build and check the qARNEL 1.0 beta sample distribution (dist/).

The packaging tool appends the 36 files listed in dist/manifest.txt to
setup.exe as its payload.  Every file must have exactly the
size given in the payload table; this script makes sure of that.

    python3 make_dist.py           generate, pad and then check
    python3 make_dist.py --check   check only; exit status 1 on any problem

What "generate" does (deterministic; running it twice changes nothing):
  * writes the two placeholder executables qARNEL.exe.sh3 / qARNEL.exe.mips;
  * draws books/tarvelo/LOGO.2BP, a 2-bit-per-pixel Windows bitmap;
  * writes each book's index.txt and toc.txt (titles come from the pages'
    <TITLE> elements), padded with ';' comment lines to the exact size;
  * normalises the hand-written pages (*.htm, *.html, qARNEL.htc) to CR LF
    line ends and pads each with one "<!-- filler ... -->" comment just
    before </BODY> (an existing filler comment is replaced, not added to);
  * writes manifest.txt.

Python 3 standard library only.
"""

import html
import os
import re
import struct
import sys
import urllib.parse

HERE = os.path.dirname(os.path.abspath(__file__))
PAYLOAD = "payload"

# ---------------------------------------------------------------------------
# The payload table, in install order: name, directory, bytes.
# The table gives the film reviews only as "3585 to 14189 each"; the sizes
# chosen here have that minimum and maximum and add up to 133264, so that the
# whole film book (with index.txt 352 and toc.txt 630) is 134246 bytes.
# ---------------------------------------------------------------------------
FILM_SIZES = [
    ("film01.htm", 7412), ("film02.htm", 3585), ("film03.htm", 9841),
    ("film05.htm", 8469), ("film06.htm", 14189), ("film08.htm", 11327),
    ("film14.htm", 6538), ("film16.htm", 13406), ("film18.htm", 7093),
    ("film20.htm", 10174), ("film22.htm", 5817), ("film25.htm", 12052),
    ("film31.htm", 6260), ("film32.htm", 8745), ("film35.htm", 8356),
]
FILM_MIN, FILM_MAX, FILM_REVIEWS_TOTAL, FILM_BOOK_TOTAL = 3585, 14189, 133264, 134246

TABLE = [
    ("qARNEL.exe.sh3", ".", 35328),
    ("qARNEL.exe.mips", ".", 44544),
    ("qARNEL.htc", ".", 1832),
    ("nPR970930a.htm", "books\\tarvelo", 5947),
    ("nPR970930b.htm", "books\\tarvelo", 4998),
    ("nPR970930c.htm", "books\\tarvelo", 5175),
    ("nPR970930d.htm", "books\\tarvelo", 8150),
    ("nPR970930e.htm", "books\\tarvelo", 5960),
    ("LOGO.2BP", "books\\tarvelo", 10470),
    ("index.txt", "books\\tarvelo", 40),
    ("toc.txt", "books\\tarvelo", 460),
    ("Adding Graphics.html", "books\\Custom", 1065),
    ("Beta Notes.html", "books\\Custom", 1003),
    ("HTML Documents.html", "books\\Custom", 1046),
    ("Index.html", "books\\Custom", 1397),
    ("Overview.html", "books\\Custom", 1264),
    ("Table of Contents.html", "books\\Custom", 2161),
    ("toc.txt", "books\\Custom", 324),
    ("index.txt", "books\\Custom", 48),
] + [(name, "books\\film", size) for name, size in FILM_SIZES] + [
    ("index.txt", "books\\film", 352),
    ("toc.txt", "books\\film", 630),
]

CRLF = b"\r\n"


def src_path(name, directory):
    """Source path of a payload file, relative to dist/, forward slashes."""
    if directory == ".":
        return "%s/%s" % (PAYLOAD, name)
    return "%s/%s/%s" % (PAYLOAD, directory.replace("\\", "/"), name)


def disk(rel):
    return os.path.join(HERE, *rel.split("/"))


def expected_size(rel):
    for name, directory, size in TABLE:
        if src_path(name, directory) == rel:
            return size
    raise KeyError(rel)


def write_if_changed(rel, data):
    path = disk(rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    if os.path.exists(path):
        with open(path, "rb") as f:
            if f.read() == data:
                return False
    with open(path, "wb") as f:
        f.write(data)
    return True


def read(rel):
    with open(disk(rel), "rb") as f:
        return f.read()


# ---------------------------------------------------------------------------
# Placeholder executables
# ---------------------------------------------------------------------------
PLACEHOLDERS = [
    ("qARNEL.exe.sh3", "SH3"),
    ("qARNEL.exe.mips", "MIPS"),
]


def placeholder(cpu, size):
    data = (b"MZ\r\nqARNEL e-book reader 1.0 beta -- PLACEHOLDER for the "
            + cpu.encode("ascii")
            + b" build. Not a real program; stands in for the device build"
              b" in the sample distribution.\r\n")
    n = 1
    while True:
        line = ("qARNEL 1.0 beta %s placeholder, not a program: filler line %04d\r\n"
                % (cpu, n)).encode("ascii")
        if len(data) + len(line) > size:
            break
        data += line
        n += 1
    return data + b"\0" * (size - len(data))      # the rest: zero bytes


# ---------------------------------------------------------------------------
# LOGO.2BP: Windows bitmap, 2 bits per pixel, 4 grey palette entries.
# 14 (file header) + 40 (info header) + 16 (palette) + 130 rows * 80 bytes
# = 10470 bytes; 320 x 130 pixels, a banner that fits a 480-pixel screen.
# ---------------------------------------------------------------------------
LOGO_W, LOGO_H = 320, 130
BLACK, DARK, LIGHT, WHITE = 0, 1, 2, 3
PALETTE = [(0, 0, 0), (128, 128, 128), (192, 192, 192), (255, 255, 255)]

FONT = {  # 5 x 7 blocky capitals
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "V": ["#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "S": [".####", "#....", "#....", ".###.", "....#", "....#", "####."],
    "F": ["#####", "#....", "#....", "####.", "#....", "#....", "#...."],
    "W": ["#...#", "#...#", "#...#", "#.#.#", "#.#.#", "##.##", "#...#"],
    " ": ["....."] * 7,
}


def draw_logo():
    px = [[WHITE] * LOGO_W for _ in range(LOGO_H)]

    def put(x, y, c):
        if 0 <= x < LOGO_W and 0 <= y < LOGO_H:
            px[y][x] = c

    def rect(x0, y0, x1, y1, c):
        for y in range(y0, y1):
            for x in range(x0, x1):
                put(x, y, c)

    def disc(cx, cy, r, c):
        for y in range(cy - r, cy + r + 1):
            for x in range(cx - r, cx + r + 1):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r + r:
                    put(x, y, c)

    def text(s, x, y, scale, gap, c):
        for ch in s:
            for row, bits in enumerate(FONT[ch]):
                for col, bit in enumerate(bits):
                    if bit == "#":
                        rect(x + col * scale, y + row * scale,
                             x + (col + 1) * scale, y + (row + 1) * scale, c)
            x += 5 * scale + gap

    # The mark: a dark disc with a light shadow, a white ring and a white "T"
    # standing on an open page.
    disc(69, 69, 50, LIGHT)
    disc(65, 65, 50, DARK)
    disc(65, 65, 43, WHITE)
    disc(65, 65, 40, BLACK)
    rect(37, 36, 94, 48, WHITE)       # bar of the T
    rect(59, 48, 72, 86, WHITE)       # stem of the T
    rect(35, 88, 64, 94, WHITE)       # left page
    rect(67, 88, 96, 94, WHITE)       # right page
    rect(35, 94, 96, 96, LIGHT)       # page edge

    # The name, with a light-grey shadow, a rule, and the line below it.
    text("TARVELO", 137, 33, 4, 4, LIGHT)
    text("TARVELO", 134, 30, 4, 4, BLACK)
    rect(134, 68, 300, 70, DARK)
    text("SOFTWARE", 134, 80, 2, 2, DARK)
    return px


def bmp_2bpp(px):
    height, width = len(px), len(px[0])
    row_bytes = ((width * 2 + 31) // 32) * 4
    image = bytearray()
    for y in range(height - 1, -1, -1):           # bottom-up rows
        row = bytearray(row_bytes)
        for x, c in enumerate(px[y]):
            row[x // 4] |= c << (6 - 2 * (x % 4))   # leftmost pixel high bits
        image += row
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    off_bits = 14 + 40 + len(palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 2, 0,
                       len(image), 3780, 3780, 4, 4)
    header = struct.pack("<2sIHHI", b"BM", off_bits + len(image), 0, 0, off_bits)
    return header + info + palette + bytes(image)


# ---------------------------------------------------------------------------
# index.txt and toc.txt
#
# Plain text in the system code page, CR LF line ends.  Lines starting with
# ';' are comments; blank lines are ignored.
#   index.txt: first line the book's title, second line the file name of the
#              page the book opens at; further lines a short description.
#   toc.txt:   one line per page in reading order: title, TAB, file name.
# Comment lines at the top bring each file to its exact size.
# ---------------------------------------------------------------------------
BOOKS = {
    "books\\tarvelo": {
        "title": "TARVELO News 30 Sep 97",
        "pages": ["nPR970930a.htm", "nPR970930b.htm", "nPR970930c.htm",
                  "nPR970930d.htm", "nPR970930e.htm"],
        "description": [],
    },
    "books\\Custom": {
        "title": "Creating Your Own Books for qARNEL",
        "pages": ["Index.html", "Table of Contents.html", "Overview.html",
                  "HTML Documents.html", "Adding Graphics.html",
                  "Beta Notes.html"],
        "description": [],
    },
    "books\\film": {
        "title": "qARNEL Film Reviews",
        "pages": [name for name, _ in FILM_SIZES],
        "description": [
            "Fifteen short reviews of films from the 1997 season, one page each.",
            "Choose a film from the table of contents, or start at the first",
            "review and follow the links. A sample book for the qARNEL beta:",
            "the films and people reviewed here are fictional.",
        ],
    },
}

# Each comment line stands on its own: fit_text() uses those that fit.
INDEX_COMMENTS = [
    "; qARNEL book index: the title, the first page, then a description.",
    "; Lines starting with ';' are comments; blank lines are ignored.",
]
TOC_COMMENTS = [
    "; qARNEL table of contents: one line per page, in reading order.",
    "; Each line: the page's title, a TAB, then the page's file name.",
    "; Lines starting with ';' are comments; blank lines are ignored.",
]
RULE_MAX = 72


def lines_to_bytes(lines):
    return b"".join(l.encode("ascii") + CRLF for l in lines)


def fit_text(body_lines, comments, size, what):
    """Comment lines, then body lines, exactly `size` bytes long."""
    body = lines_to_bytes(body_lines)
    room = size - len(body)
    if room < 0:
        raise SystemExit("%s: %d bytes too long for its size %d" % (what, -room, size))
    head = []
    for c in comments:
        n = len(c) + 2
        if n == room or n + 3 <= room:
            head.append(c)
            room -= n
    if room == 2:
        return CRLF + lines_to_bytes(head) + body        # one blank line
    if room == 1:
        raise SystemExit("%s: cannot pad by 1 byte; adjust its wording" % what)
    while room > 0:                                      # ';----' rule lines
        n = min(room, RULE_MAX)
        if 0 < room - n < 3:
            n = room - 3
        head.append(";" + "-" * (n - 3))
        room -= n
    return lines_to_bytes(head) + body


def page_title(rel):
    m = re.search(rb"<TITLE>(.*?)</TITLE>", read(rel), re.S | re.I)
    if not m:
        raise SystemExit("%s: no <TITLE>" % rel)
    return html.unescape(" ".join(m.group(1).decode("ascii").split()))


def book_files(directory):
    book = BOOKS[directory]
    index = fit_text([book["title"], book["pages"][0]] + book["description"],
                     INDEX_COMMENTS, expected_size(src_path("index.txt", directory)),
                     src_path("index.txt", directory))
    toc_lines = ["%s\t%s" % (page_title(src_path(p, directory)), p)
                 for p in book["pages"]]
    toc = fit_text(toc_lines, TOC_COMMENTS, expected_size(src_path("toc.txt", directory)),
                   src_path("toc.txt", directory))
    return index, toc


# ---------------------------------------------------------------------------
# Hand-written pages: CR LF line ends and one filler comment before </BODY>.
# ---------------------------------------------------------------------------
PAD_OPEN = b"<!-- filler"
PAD_CLOSE = b" -->" + CRLF
PAD_MIN = len(PAD_OPEN) + len(PAD_CLOSE)
PAD_LINES = [
    b"     This comment pads the file to the exact size that the payload"
    b" table" + CRLF,
    b"     of the qARNEL 1.0 beta sample distribution gives it"
    b" (see make_dist.py)." + CRLF,
]
PAD_DOTS = b"     " + b"." * 66 + CRLF
PAD_RE = re.compile(rb"<!-- filler.*?-->\r\n", re.S)


def filler(n):
    if n == 0:
        return b""
    if n < PAD_MIN:
        raise ValueError("filler of %d bytes is too small" % n)
    r = n - PAD_MIN
    if r < 2:
        return PAD_OPEN + b" " * r + PAD_CLOSE
    inner = CRLF
    r -= 2
    i = 0
    while True:
        line = PAD_LINES[i] if i < len(PAD_LINES) else PAD_DOTS
        if len(line) > r:
            break
        inner += line
        r -= len(line)
        i += 1
    return PAD_OPEN + inner + b" " * r + PAD_CLOSE


def is_page(rel):
    return rel.endswith((".htm", ".html", ".htc"))


def pad_page(rel, size):
    data = read(rel).replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
    if not data.endswith(CRLF):
        data += CRLF
    data = PAD_RE.sub(b"", data)
    n = size - len(data)
    if n < 0:
        raise SystemExit("%s: text is %d bytes, %d more than its size %d"
                         % (rel, len(data), -n, size))
    if 0 < n < PAD_MIN:
        raise SystemExit("%s: %d bytes short; too few for a filler comment, "
                         "adjust the text" % (rel, n))
    at = data.upper().rfind(b"</BODY>")
    if at < 0:
        raise SystemExit("%s: no </BODY>" % rel)
    return data[:at] + filler(n) + data[at:]


# ---------------------------------------------------------------------------
# manifest.txt
# ---------------------------------------------------------------------------
MANIFEST = "manifest.txt"
MANIFEST_HEADER = """\
# manifest.txt -- the payload of the qARNEL 1.0 beta setup, in install order.
#
# One record per line, three fields separated by a TAB:
#   1. the source file, relative to this folder (dist/), forward slashes;
#   2. the payload directory, backslash-separated, "." for the root;
#   3. the file name stored in the payload record.
# Lines starting with '#' are comments; blank lines are ignored.
# The packaging tool appends one payload record per line, in this order, to
# setup.exe. Generated by make_dist.py; check with
#   python3 make_dist.py --check
"""


def manifest_text():
    lines = [MANIFEST_HEADER]
    for name, directory, _ in TABLE:
        lines.append("%s\t%s\t%s\n" % (src_path(name, directory), directory, name))
    return "".join(lines).encode("ascii")


def read_manifest(errors, path=None):
    """The records (source, directory, name) of manifest.txt, or of the
    manifest at path. Read as setuppack reads a manifest (tools/manifest.h):
    a line ends at LF, one CR before it dropped; empty lines and lines
    starting with '#' are skipped; three TAB-separated fields, the first two
    not empty. tests/dist/check_manifest_readers.py checks that both agree."""
    where = path or MANIFEST
    entries = []
    try:
        with open(path or disk(MANIFEST), "rb") as f:
            text = f.read().decode("ascii")
    except (OSError, UnicodeDecodeError) as e:
        errors.append("%s: cannot read (%s)" % (where, e))
        return entries
    for no, line in enumerate(text.split("\n"), 1):
        if line.endswith("\r"):
            line = line[:-1]
        if not line or line.startswith("#"):
            continue
        fields = line.split("\t")
        if len(fields) != 3 or not fields[0] or not fields[1]:
            errors.append("%s:%d: expected three TAB-separated fields: source, directory, name" % (where, no))
            continue
        entries.append(tuple(fields))
    return entries


# ---------------------------------------------------------------------------
# Generate
# ---------------------------------------------------------------------------
def generate():
    changed = []

    def put(rel, data):
        size = expected_size(rel) if rel.startswith(PAYLOAD + "/") else None
        if size is not None and len(data) != size:
            raise SystemExit("%s: generated %d bytes, expected %d" % (rel, len(data), size))
        if write_if_changed(rel, data):
            changed.append(rel)

    for name, cpu in PLACEHOLDERS:
        rel = src_path(name, ".")
        put(rel, placeholder(cpu, expected_size(rel)))
    put(src_path("LOGO.2BP", "books\\tarvelo"), bmp_2bpp(draw_logo()))
    for name, directory, size in TABLE:                 # pages before toc.txt
        rel = src_path(name, directory)
        if is_page(rel):
            put(rel, pad_page(rel, size))
    for directory in BOOKS:
        index, toc = book_files(directory)
        put(src_path("index.txt", directory), index)
        put(src_path("toc.txt", directory), toc)
    put(MANIFEST, manifest_text())
    for rel in changed:
        print("wrote", rel)
    if not changed:
        print("nothing to do: all generated files are up to date")


# ---------------------------------------------------------------------------
# Check
# ---------------------------------------------------------------------------
def check_links(rel, data, errors):
    """Every HREF/SRC of a page must name a file of the payload (or an anchor)."""
    text = data.decode("latin-1")
    base = rel.rsplit("/", 1)[0]
    attrs = [m for tag in re.finditer(r"<[A-Za-z][^>]*>", text)
             for m in re.finditer(r'(?i)\b(?:HREF|SRC)="([^"]*)"', tag.group(0))]
    for m in attrs:
        target, _, frag = m.group(1).partition("#")
        if not target:
            if not re.search(r'(?i)NAME="%s"' % re.escape(frag), text):
                errors.append("%s: no anchor named %r" % (rel, frag))
            continue
        path = base + "/" + urllib.parse.unquote(target)
        if not os.path.isfile(disk(path)):
            errors.append("%s: link to missing file %r" % (rel, m.group(1)))


def check_bmp(rel, data, errors):
    try:
        magic, bf_size, _, _, off = struct.unpack_from("<2sIHHI", data, 0)
        (bi_size, w, h, planes, bits, comp, size_image,
         _, _, clr_used, _) = struct.unpack_from("<IiiHHIIiiII", data, 14)
    except struct.error:
        errors.append("%s: too short for a bitmap" % rel)
        return
    row = ((w * 2 + 31) // 32) * 4
    ok = (magic == b"BM" and bf_size == len(data) and bi_size == 40 and planes == 1
          and bits == 2 and comp == 0 and clr_used == 4 and off == 14 + 40 + 16
          and size_image == row * abs(h) and off + size_image == len(data))
    if not ok:
        errors.append("%s: not a 2-bit-per-pixel uncompressed bitmap" % rel)


def check():
    errors = []
    entries = read_manifest(errors)
    expected = [(src_path(n, d), d, n) for n, d, _ in TABLE]
    if entries and entries != expected:
        if len(entries) != len(expected):
            errors.append("%s: %d records, expected %d" % (MANIFEST, len(entries), len(expected)))
        for i, (got, want) in enumerate(zip(entries, expected)):
            if got != want:
                errors.append("%s: record %d is %r, expected %r" % (MANIFEST, i, got, want))

    total = 0
    sizes = {}
    print("%-3s %-45s %-15s %7s  %s" % ("#", "source", "directory", "bytes", "status"))
    for i, (rel, directory, name) in enumerate(entries):
        try:
            want = expected_size(rel)
        except KeyError:
            errors.append("%s: not in the payload table" % rel)
            continue
        path = disk(rel)
        if not os.path.isfile(path):
            status = "MISSING"
            errors.append("%s: missing" % rel)
        else:
            got = os.path.getsize(path)
            sizes[rel] = got
            total += got
            status = "ok" if got == want else "WRONG SIZE (expected %d)" % want
            if got != want:
                errors.append("%s: %d bytes, expected %d" % (rel, got, want))
        print("%-3d %-45s %-15s %7s  %s" % (i, rel, directory, sizes.get(rel, "-"), status))

    # Nothing in payload/ that the manifest does not name.
    listed = {e[0] for e in entries}
    for root, _, files in os.walk(disk(PAYLOAD)):
        for f in files:
            rel = os.path.relpath(os.path.join(root, f), HERE).replace(os.sep, "/")
            if rel not in listed:
                errors.append("%s: in payload/ but not in the manifest" % rel)

    # The film book's sizes as the table and the setup's estimate require.
    films = [s for n, d, s in TABLE if d == "books\\film" and n.startswith("film")]
    if (len(films) != 15 or min(films) != FILM_MIN or max(films) != FILM_MAX
            or sum(films) != FILM_REVIEWS_TOTAL
            or sum(s for n, d, s in TABLE if d == "books\\film") != FILM_BOOK_TOTAL):
        errors.append("film book sizes do not add up")

    # Content checks on the files that are present.
    for rel, size in sizes.items():
        data = read(rel)
        if rel.endswith((".sh3", ".mips")) and not data.startswith(b"MZ\r\nqARNEL"):
            errors.append("%s: does not start with the placeholder label" % rel)
        if rel.upper().endswith(".2BP"):
            check_bmp(rel, data, errors)
        if is_page(rel) or rel.endswith(".txt"):
            if re.search(rb"(?<!\r)\n|\r(?!\n)", data):
                errors.append("%s: line ends are not all CR LF" % rel)
            if any(b > 126 or (b < 32 and b not in (9, 10, 13)) for b in data):
                errors.append("%s: not plain ASCII text" % rel)
        if is_page(rel):
            check_links(rel, data, errors)

    try:
        if not read("readme.doc").startswith(b"{\\rtf1\\ansi"):
            errors.append("readme.doc: does not start with {\\rtf1\\ansi")
    except OSError:
        errors.append("readme.doc: missing")

    print("%d records, %d bytes in all" % (len(entries), total))
    if errors:
        for e in errors:
            print("ERROR:", e)
        print("check FAILED (%d problem%s)" % (len(errors), "" if len(errors) == 1 else "s"))
        return 1
    print("check passed")
    return 0


def main(argv):
    if argv not in ([], ["--check"]):
        print("usage: make_dist.py [--check]", file=sys.stderr)
        return 2
    if not argv:
        generate()
    return check()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
