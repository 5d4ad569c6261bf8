#!/usr/bin/env bash
# --help of every command prints its usage and exits 0, starting nothing:
# each runs from a copy of the scripts alone (no sources to build), with the
# programs that installing, building or starting Wine would call replaced by
# stand-ins that note any call.
#   check_help.sh SOURCE_DIR
set -euo pipefail
src=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/co" "$tmp/bin"
cp -R "$src/scripts" "$src/.ci" "$tmp/co/"
for cmd in apt-get dpkg cmake ctest make Xvfb mount clang i686-w64-mingw32-gcc python3 wineserver; do
    printf '#!/bin/sh\necho "%s $*" >> "%s/calls"\nexit 1\n' "$cmd" "$tmp" > "$tmp/bin/$cmd"
    chmod +x "$tmp/bin/$cmd"
done

status=0
for cmd in scripts/demo scripts/test scripts/bench scripts/robustness scripts/release \
           scripts/with-wine scripts/lib/wine-run .ci/run; do
    rc=0
    out=$(cd "$tmp/co" && PATH="$tmp/bin:$PATH" timeout 20 "$cmd" --help 2>&1 </dev/null) || rc=$?
    if [ $rc -ne 0 ] || [ "$(printf '%s\n' "$out" | wc -l)" -lt 2 ]; then
        echo "FAILED: $cmd --help exited $rc, printing:"
        printf '%s\n' "$out" | head -n 12 | sed 's/^/   /'
        status=1
    elif ! printf '%s\n' "$out" | grep -q "${cmd#scripts/}"; then
        echo "FAILED: $cmd --help does not show how it is called:"
        printf '%s\n' "$out" | head -n 12 | sed 's/^/   /'
        status=1
    else
        echo "$cmd --help: $(printf '%s\n' "$out" | wc -l) lines"
    fi
done
if [ -s "$tmp/calls" ]; then
    echo "FAILED: --help started work:"
    sed 's/^/   /' "$tmp/calls"
    status=1
fi
if [ -e "$tmp/co/out" ] || [ -e "$tmp/co/release" ]; then
    echo "FAILED: --help made $(cd "$tmp/co" && ls -d out release 2>/dev/null)"
    status=1
fi
exit $status
