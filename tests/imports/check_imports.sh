#!/usr/bin/env bash
# Checks that a program image loads on a fresh Windows 95 / NT 4.0 desktop:
# it may import only from the DLLs of allowed_dlls.txt (each with where it
# comes from; no C runtime DLL, which a fresh Windows 95 lacks), and none of
# the functions of denylist.txt (functions those systems lack). Prints the imported DLLs and the image size, and fails when
# the size passes the limit.
#   check_imports.sh OBJDUMP IMAGE DIR [SIZE_LIMIT]
set -euo pipefail
objdump=$1 image=$2 dir=$3 limit=${4:-}

allowed=$(awk -F'\t' '!/^#/ && NF { print $1 }' "$dir/allowed_dlls.txt")
fail=0

imports=$("$objdump" -p "$image" | awk '
    /^\tDLL Name:/ { dll = tolower($3); print "DLL " dll; inlist = 1; next }
    inlist && /^\tvma:/ { next }
    inlist && NF == 0 { inlist = 0; next }
    inlist && NF >= 3 { print "FN " dll " " $NF }')

echo "$(basename "$image"): imported DLLs:"
for dll in $(echo "$imports" | awk '$1 == "DLL" { print $2 }'); do
    n=$(echo "$imports" | awk -v d="$dll" '$1 == "FN" && $2 == d' | wc -l)
    ok=no
    for a in $allowed; do [ "$dll" = "$a" ] && ok=yes; done
    printf '  %-14s %3d functions%s\n' "$dll" "$n" "$([ $ok = yes ] || echo '   <- not on every fresh Windows 95 / NT 4.0 (allowed_dlls.txt)')"
    [ $ok = yes ] || fail=1
done

# denylist.txt: one function name per line (a trailing * matches any ending),
# then the system that first has it and where that is documented.
while IFS=$'\t' read -r pattern _; do
    case "$pattern" in ''|'#'*) continue ;; esac
    re="^${pattern//\*/.*}\$"
    hits=$(echo "$imports" | awk '$1 == "FN" { print $3 }' | grep -E "$re" || true)
    if [ -n "$hits" ]; then
        echo "  imports $(echo $hits) (denylisted: $(grep -F "$pattern"$'\t' "$dir/denylist.txt" | cut -f2))"
        fail=1
    fi
done < "$dir/denylist.txt"

size=$(stat -c %s "$image")
if [ -n "$limit" ]; then
    echo "$(basename "$image"): $size bytes without payload (limit $limit)"
    [ "$size" -le "$limit" ] || { echo "  larger than the program it replaces"; fail=1; }
else
    echo "$(basename "$image"): $size bytes without payload"
fi
[ $fail = 0 ] && echo "imports: ok"
exit $fail
