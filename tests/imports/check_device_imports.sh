#!/usr/bin/env bash
# Checks that the program imports the device libraries' functions by their
# undecorated names: exactly the six loader functions from ppcload.dll and
# PegCreateProcess from rapi.dll (a decorated name such as Load_Init@0 would
# not be found in the real libraries and the program would not start).
#   check_device_imports.sh OBJDUMP IMAGE
set -euo pipefail
objdump=$1 image=$2

names() {
    "$objdump" -p "$image" | awk -v want="$1" '
        /^\tDLL Name:/ { inlist = (tolower($3) == want); next }
        inlist && /^\tvma:/ { next }
        inlist && NF == 0 { inlist = 0; next }
        inlist && NF >= 3 { print $NF }' | sort | tr '\n' ' '
}

fail=0
expect() {
    local dll=$1 want=$2 got
    got=$(names "$dll")
    echo "  $dll: $got"
    [ "$got" = "$want" ] || { echo "    expected: $want"; fail=1; }
}
echo "$(basename "$image"): device imports"
expect ppcload.dll "Load Load_AlreadyInstalled Load_Exit Load_Init Load_PegCpuType Load_PegFreeSpace "
expect rapi.dll "PegCreateProcess "
[ $fail = 0 ] && echo "device imports: ok"
exit $fail
