#!/usr/bin/env bash
# Checks a built setup.exe against the sample distribution: the packaging
# tool verifies its payload, its records are the manifest's in order (name,
# directory, the source file's size and, from the checksum block, the CRC-32
# that Python's zlib computes for the file), and readme.doc beside it is the
# distribution's.
#   check_setup.sh TOOL SETUP MANIFEST OFFSET
set -euo pipefail
tool=$1 setup=$2 manifest=$3 offset=$4
dist=$(dirname "$manifest")

"$tool" verify "$setup"

# The manifest's records as the tool reads them: source, directory, name.
expected=$("$tool" manifest "$manifest" |
    while IFS=$'\t' read -r source dir name; do
        printf '%s\t%s\t%s\t%s\n' "$name" "$dir" "$(stat -c %s "$dist/$source")" \
            "$(python3 -c 'import sys, zlib; print("%08x" % zlib.crc32(open(sys.argv[1], "rb").read()))' "$dist/$source")"
    done)
actual=$("$tool" list "$setup")
if [ "$expected" != "$actual" ]; then
    echo "the payload of $setup is not the manifest's (< manifest, > setup):"
    diff <(echo "$expected") <(echo "$actual") || true
    exit 1
fi
echo "$(echo "$actual" | wc -l) records, as the manifest lists them"

# The release layout: the first record at OFFSET, where it has always been.
head=$(od -An -tx1 -j "$offset" -N 22 "$setup" | tr -d ' \n')
tail=$(tail -c 5 "$setup" | od -An -tx1 | tr -d ' \n')
if [ "$head" != "0e000000$(printf qARNEL.exe.sh3 | od -An -tx1 | tr -d ' \n')01000000" ] || [ "$tail" != "00008a0300" ]; then
    echo "the payload does not start at $offset as released: $head ... $tail"
    exit 1
fi
echo "first record at offset $offset: ok"

notes=$(dirname "$setup")/readme.doc
cmp "$dist/readme.doc" "$notes"
echo "readme.doc beside it: ok"
