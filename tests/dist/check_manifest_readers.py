#!/usr/bin/env python3
"""The manifest's two readers agree.

The C++ reader (tools/manifest.h) is the one the packaging tool, the tests and
the benchmark use; the build and the scripts ask it through
`setuppack manifest`. dist/make_dist.py, which writes and checks the sample
distribution with Python's standard library only, keeps a reader of its own.
Both read the sample manifest and the manifests below, made to try the
format's edges; they must give the same records, and refuse the same lines.

Rules beyond the format are each reader's own and not compared here: setuppack
refuses what setup.exe could not extract (paths, lengths, the same file twice,
no files at all), make_dist.py text that is not ASCII.

    check_manifest_readers.py SETUPPACK DIST_DIR
"""
import os
import re
import subprocess
import sys
import tempfile

CASES = [
    ("LF line ends", "# a comment\n\npayload/b.htm\tbooks\\b\tb.htm\npayload/c.txt\t.\tc.txt\n"),
    ("CR LF line ends, none after the last line",
     "# a comment\r\n\r\npayload/b.htm\tbooks\\b\tb.htm\r\npayload/c.txt\t.\tc.txt"),
    ("blanks in the fields", "payload/Beta Notes.html\tbooks\\Custom\tBeta Notes.html\n"),
    ("a CR inside a line", "payload/a\rb.txt\t.\tab.txt\n"),
    ("two fields", "payload/a.txt\t.\tA.txt\npayload/b.txt\t.\n"),
    ("four fields", "payload/a.txt\t.\ta.txt\textra\n"),
    ("an empty source", "\t.\ta.txt\n"),
    ("an empty directory", "payload/a.txt\t\ta.txt\n"),
    ("a line of blanks", "payload/a.txt\t.\ta.txt\n \npayload/b.txt\t.\tb.txt\n"),
    ("a '#' after a blank", "payload/a.txt\t.\ta.txt\n #payload/b.txt\t.\tb.txt\n"),
]


def cpp_reader(tool, path):
    """(records, lines refused) as `setuppack manifest` reads the file."""
    run = subprocess.run([tool, "manifest", path], capture_output=True)
    out, err = run.stdout.decode("latin-1"), run.stderr.decode("latin-1")
    if run.returncode not in (0, 1):
        sys.exit("%s manifest %s: exit status %d\n%s" % (tool, path, run.returncode, err))
    records = [tuple(line.split("\t")) for line in out.split("\n") if line]
    refused = sorted(int(n) for n in re.findall(r"^setuppack: .*?:(\d+): ", err, re.M))
    if run.returncode == 1 and not refused:
        sys.exit("%s manifest %s refused the file, not a line:\n%s" % (tool, path, err))
    return records, refused


def python_reader(make_dist, path):
    """(records, lines refused) as make_dist.py reads the file."""
    errors = []
    records = make_dist.read_manifest(errors, path)
    refused = sorted(int(n) for e in errors for n in re.findall(r":(\d+): ", e)[:1])
    if len(refused) != len(errors):
        sys.exit("make_dist.py refused %s, not a line: %s" % (path, errors))
    return records, refused


def main(tool, dist):
    sys.dont_write_bytecode = True
    sys.path.insert(0, dist)
    import make_dist

    failures = 0

    def compare(what, path):
        nonlocal failures
        cpp, py = cpp_reader(tool, path), python_reader(make_dist, path)
        # The tool prints no records once it has refused a line.
        if cpp[1]:
            cpp, py = (None, cpp[1]), (None, py[1])
        if cpp == py:
            print("agree: %s" % what)
        else:
            failures += 1
            print("DISAGREE: %s\n  setuppack:   %r\n  make_dist.py: %r" % (what, cpp, py))

    compare("the sample manifest", os.path.join(dist, "manifest.txt"))
    with tempfile.TemporaryDirectory() as tmp:
        for what, text in CASES:
            path = os.path.join(tmp, "manifest.txt")
            with open(path, "wb") as f:
                f.write(text.encode("ascii"))
            compare(what, path)
    if failures:
        print("%d of %d manifests read differently" % (failures, len(CASES) + 1))
        return 1
    print("the two manifest readers agree on %d manifests" % (len(CASES) + 1))
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1], sys.argv[2]))
