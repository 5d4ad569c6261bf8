#!/usr/bin/env python3
"""Check the licence agreement held in license.rc.

Compiles the fragment with the mingw-w64 resource compiler, the way the main
resource script does (the ids header first, then the fragment), reads the
string table back out of the compiled .res and checks the sixteen pieces:
order and headings, line breaks, character set, buffer limit and total size.

Usage: check_license.py [--windres PROGRAM] [path/to/license.rc]
Exit status 0 when every check passes, 1 otherwise.
"""

import argparse
import os
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))

CRLF = "\r\n"
TOTAL = 6143          # characters in the whole agreement
BUFFER = 4096         # the dialog's load buffer, NUL included
LANG_EN_US = 0x0409
RT_STRING = 6
MAKER = "TARVELO Corporation"
ADDRESS = "TARVELO Corporation, One Tarvelo Way, Bellhaven, WA 98000."

# (string id, first words, CR LF pairs right after the first words or None,
#  CR LF pairs at the end)
PIECES = [
    (8, "IMPORTANT-READ CAREFULLY:", 2, 2),
    (16, "SOFTWARE LICENSE", 2, 2),
    (17, "1.  GRANT OF LICENSE.", None, 2),
    (18, "2.  DESCRIPTION OF OTHER RIGHTS AND LIMITATIONS.", 1, 1),
    (19, "* Termination.", None, 2),
    (20, "3.  COPYRIGHT.", 1, 2),
    (21, "4.  LIMITED WARRANTY.", 1, 1),
    (22, "* Customer Remedies.", None, 2),
    (23, "* No Other Warranties.", None, 1),
    (24, "* No Liability for Consequential Damages.", None, 1),
    (25, "* Attorney's Fees.", None, 2),
    (26, "U.S. GOVERNMENT RESTRICTED RIGHTS.", 1, 1),
    (27, "The SOFTWARE and documentation are provided with RESTRICTED RIGHTS.",
     None, 2),
    (28, "If you acquired this EULA in the United States", None, 2),
    (29, "If you acquired this EULA in Canada", None, 2),
    (30, "If this EULA was acquired outside the United States", None, 0),
]

# Pieces that may name the maker, and the one that may name the application.
NAMES_MAKER = {8, 20, 27}
NAMES_PRODUCT = {8}

STUB_HEADER = """\
#define IDS_LICENSE_HEAD 8
#define IDS_LICENSE_FIRST 16
#define IDS_LICENSE_LAST 30
"""


def compile_res(windres, rc_path, workdir):
    """Compile rc_path behind a stub ids header; return the .res bytes."""
    with open(os.path.join(workdir, "resource.h"), "w") as f:
        f.write(STUB_HEADER)
    wrapper = os.path.join(workdir, "wrapper.rc")
    with open(wrapper, "w") as f:
        f.write('#include "resource.h"\n#include "%s"\n' %
                os.path.basename(rc_path))
    res = os.path.join(workdir, "license.res")
    cmd = [windres, "--input-format=rc", "--output-format=res",
           "-I", workdir, "-I", os.path.dirname(os.path.abspath(rc_path)),
           "-i", wrapper, "-o", res]
    subprocess.run(cmd, check=True)
    with open(res, "rb") as f:
        return f.read()


def read_id(data, pos):
    """A type or name field of a .res header: ordinal or UTF-16 string."""
    (first,) = struct.unpack_from("<H", data, pos)
    if first == 0xFFFF:
        (value,) = struct.unpack_from("<H", data, pos + 2)
        return value, pos + 4
    end = pos
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[pos:end].decode("utf-16-le"), end + 2


def parse_res(data):
    """Yield (type, name, language, payload) for each entry of a .res file."""
    pos = 0
    while pos + 8 <= len(data):
        size, header = struct.unpack_from("<II", data, pos)
        rtype, p = read_id(data, pos + 8)
        name, p = read_id(data, p)
        p = (p + 3) & ~3
        _version, _flags, lang = struct.unpack_from("<IHH", data, p)
        payload = data[pos + header:pos + header + size]
        if not (size == 0 and rtype == 0 and name == 0):
            yield rtype, name, lang, payload
        pos = (pos + header + size + 3) & ~3


def string_table(data, problems):
    """All strings of the RT_STRING blocks: {id: text}."""
    strings = {}
    for rtype, name, lang, payload in parse_res(data):
        if rtype != RT_STRING:
            problems.append("unexpected resource type %r" % (rtype,))
            continue
        if lang != LANG_EN_US:
            problems.append("string block %r has language 0x%04X, not 0x%04X"
                            % (name, lang, LANG_EN_US))
        p = 0
        for i in range(16):
            (count,) = struct.unpack_from("<H", payload, p)
            p += 2
            text = payload[p:p + 2 * count].decode("utf-16-le")
            p += 2 * count
            if count:
                strings[(name - 1) * 16 + i] = text
        if p != len(payload):
            problems.append("string block %r has %d trailing bytes"
                            % (name, len(payload) - p))
    return strings


def leading_pairs(text):
    n = 0
    while text.startswith(CRLF * (n + 1)):
        n += 1
    return n


def trailing_pairs(text):
    n = 0
    while text.endswith(CRLF * (n + 1)):
        n += 1
    return n


def check_source(rc_path, problems):
    """Rules for the script text itself."""
    raw = open(rc_path, "rb").read()
    try:
        raw.decode("ascii")
    except UnicodeDecodeError:
        problems.append("%s: not ASCII" % rc_path)
    if b"\t" in raw:
        problems.append("%s: holds a tab character" % rc_path)
    literals = 0
    for number, line in enumerate(raw.decode("ascii", "replace").splitlines(), 1):
        stripped = line.strip()
        if stripped[:1].isdigit() and '"' in stripped:
            literals += 1
            # one literal per line: opening and closing quote only, apart
            # from doubled quotes inside it
            body = stripped[stripped.index('"') + 1:]
            if not body.endswith('"') or '"' in body[:-1].replace('""', ""):
                problems.append("line %d: not a single string literal" % number)
    if literals != len(PIECES):
        problems.append("%d string lines in the script, expected %d"
                        % (literals, len(PIECES)))


def check_pieces(strings, problems):
    wanted = [p[0] for p in PIECES]
    extra = sorted(set(strings) - set(wanted))
    if extra:
        problems.append("strings not part of the agreement: %s" % extra)
    total = 0
    print("%4s %6s  %-5s %-5s  %s" % ("id", "chars", "head", "tail", "begins with"))
    for sid, head, head_pairs, tail_pairs in PIECES:
        text = strings.get(sid)
        if text is None:
            problems.append("string %d is missing" % sid)
            continue
        n = len(text)
        total += n
        after = text[len(head):]
        lead = leading_pairs(after)
        tail = trailing_pairs(text)
        print("%4d %6d  %-5s %-5d  %s" % (sid, n, "-" if head_pairs is None
                                            else lead, tail, head))

        def bad(msg):
            problems.append("string %d: %s" % (sid, msg))

        if n >= BUFFER:
            bad("%d characters, does not fit the %d-character buffer"
                % (n, BUFFER))
        if not text.startswith(head):
            bad("does not begin with %r" % head)
        if head_pairs is not None and lead != head_pairs:
            bad("%d CR LF pairs after the heading, expected %d"
                % (lead, head_pairs))
        if head_pairs is None and lead:
            bad("unexpected line break right after the heading")
        if sid == 26 and after != CRLF:
            bad("must hold the heading alone")
        if tail != tail_pairs:
            bad("ends with %d CR LF pairs, expected %d" % (tail, tail_pairs))
        if text.replace(CRLF, "").count("\r") or text.replace(CRLF, "").count("\n"):
            bad("holds a lone CR or LF")
        if CRLF * 3 in text:
            bad("holds three line breaks in a row")
        if any(ord(c) > 126 or (ord(c) < 32 and c not in CRLF) for c in text):
            bad("holds a character outside printable ASCII")
        if '"' in text or "\\" in text:
            bad("holds a double quote or a backslash")
        if ("TARVELO" in text.upper()) != (sid in NAMES_MAKER):
            bad("names the maker" if sid not in NAMES_MAKER
                else "does not name the maker")
        if ("QARNEL" in text.upper()) != (sid in NAMES_PRODUCT):
            bad("names the application" if sid not in NAMES_PRODUCT
                else "does not name the application")
        if sid == 8 and MAKER not in text:
            bad("does not name %s" % MAKER)
        if sid == 27 and not text.rstrip(CRLF).endswith(ADDRESS):
            bad("does not end with the maker's name and postal address")
        if sid == 30:
            parts = text.split(CRLF * 2)
            if len(parts) != 2 or "Manufacturer" not in parts[1] \
                    or "question" not in parts[1]:
                bad("must end with one closing paragraph about questions "
                    "to Manufacturer")
    longest = max((len(strings.get(p[0], "")) for p in PIECES), default=0)
    print("total %d characters (expected %d); longest piece %d"
          % (total, TOTAL, longest))
    if total != TOTAL:
        problems.append("the pieces hold %d characters, expected %d"
                        % (total, TOTAL))


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--windres", default=os.environ.get(
        "WINDRES", "x86_64-w64-mingw32-windres"))
    ap.add_argument("rc", nargs="?", default=os.path.join(HERE, "license.rc"))
    args = ap.parse_args()

    problems = []
    check_source(args.rc, problems)
    with tempfile.TemporaryDirectory(prefix="check_license.") as work:
        data = compile_res(args.windres, args.rc, work)
    strings = string_table(data, problems)
    check_pieces(strings, problems)
    for p in problems:
        print("FAIL: " + p)
    print("license.rc: " + ("%d problem(s)" % len(problems) if problems
                            else "all checks passed"))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
