#!/usr/bin/env bash
# Checks that the shipping image can be rebuilt to the same bytes: copies the
# source as it is now (what git tracks, with its uncommitted changes) to a
# folder of another path, one with a blank in it, builds the image there with
# the source's date of this tree, and compares the two images byte for byte.
# A time of the link, or a path of the source or of the build, in the image
# makes them differ.
#   check_rebuild.sh SOURCE_DIR BUILD_DIR IMAGE
set -euo pipefail
src=$1 build=$2 image=$3

work=$(mktemp -d "${TMPDIR:-/tmp}/rebuild.XXXXXX")
trap 'rm -rf "$work"' EXIT
copy="$work/other source"
mkdir -p "$copy"
(cd "$src" && git ls-files -z --cached --others --exclude-standard | \
    while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done | \
    xargs -0 cp --parents -t "$copy")

epoch=$(cat "$build/source-date-epoch.txt")
tree="$work/other build"
if ! { SOURCE_DATE_EPOCH=$epoch cmake -S "$copy" -B "$tree" -DCMAKE_BUILD_TYPE=Release \
          -DCMAKE_TOOLCHAIN_FILE="$copy/cmake/mingw-i686.cmake" -DSETUP_TESTS=OFF &&
       SOURCE_DATE_EPOCH=$epoch cmake --build "$tree" --target setup_image -j 2; } >"$work/log" 2>&1; then
    tail -n 40 "$work/log"
    echo "rebuild: the second build failed"
    exit 1
fi

again="$tree/$(basename "$image")"
echo "$(basename "$image"): $(sha256sum <"$image" | cut -c1-64)"
echo "rebuilt in another folder: $(sha256sum <"$again" | cut -c1-64)"
if ! cmp -s "$image" "$again"; then
    echo "rebuild: the images differ; the first differing bytes (offset, this tree, the other, in octal):"
    cmp -l "$image" "$again" | head -n 8
    exit 1
fi
echo "rebuild: the same bytes"
