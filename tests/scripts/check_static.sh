#!/usr/bin/env bash
# Every shell script of the checkout parses (bash -n, sh -n for the POSIX
# ones) and passes shellcheck at severity warning. A deliberate exception
# is annotated where it stands (# shellcheck disable=...), with its reason.
#   check_static.sh SOURCE_DIR
set -euo pipefail
cd "$1"

# The scripts: those in scripts/ and .ci/ and every *.sh, found by their
# first line (or, for the sourced ones, their shellcheck shell directive).
scripts=()
while IFS= read -r -d '' f; do
    case "$(head -n 1 "$f")" in
        '#!'*sh*|'# shellcheck shell='*) scripts+=("$f") ;;
    esac
done < <(find scripts .ci tests -type f \( -path 'scripts/*' -o -path '.ci/*' -o -name '*.sh' \) -print0 | sort -z)
if [ ${#scripts[@]} -lt 10 ]; then
    echo "only ${#scripts[@]} scripts found: ${scripts[*]}"
    exit 1
fi

status=0
for f in "${scripts[@]}"; do
    case "$(head -n 1 "$f")" in
        '#!/bin/sh'*) sh -n "$f" || status=1 ;;
        *) bash -n "$f" || status=1 ;;
    esac
done
shellcheck --severity=warning --external-sources "${scripts[@]}" || status=1
[ $status -eq 0 ] && echo "${#scripts[@]} scripts: bash -n and shellcheck clean"
exit $status
