#!/usr/bin/env bash
# Runs a check on an image made to fail it. Passes when the check fails and
# its report holds every expected finding (extended regular expressions).
#   expect_failure.sh ERE... -- CHECK ARG...
set -uo pipefail
patterns=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do patterns+=("$1"); shift; done
shift
report=$("$@" 2>&1)
status=$?
echo "$report"
fail=0
if [ $status -eq 0 ]; then
    echo "expected the check to fail, and it passed"
    fail=1
fi
for pattern in "${patterns[@]}"; do
    if ! grep -qE -- "$pattern" <<<"$report"; then
        echo "the report lacks: $pattern"
        fail=1
    fi
done
[ $fail = 0 ] && echo "the check failed as expected"
exit $fail
