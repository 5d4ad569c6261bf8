#!/usr/bin/env bash
# Checks that a program image starts on every processor and system the
# shipping program is for (Windows 95 on an 80386 and on):
#  - its code holds no instruction that the 80386 and its 80387 coprocessor
#    lack: the 486's bswap, cmpxchg, xadd, invd, wbinvd, invlpg; the
#    Pentium's cpuid, rdtsc, rdmsr, wrmsr, cmpxchg8b, rsm; the Pentium Pro's
#    cmov*, fcmov*, fcomi/fucomi, ud2, rdpmc and its long nop (nopw/nopl);
#    sysenter, syscall and their returns; the fences, prefetches and cache
#    flushes; and anything on the MMX or SSE registers. Each is printed with
#    its address.
#  - it has no TLS directory: Windows 9x does not run every TLS callback, and
#    the program needs no thread-local data.
#   check_image.sh OBJDUMP IMAGE
set -euo pipefail
objdump=$1 image=$2
fail=0
name=$(basename "$image")

# Every code section, disassembled; one line "address<TAB>instruction" each.
newer=$("$objdump" -d --no-show-raw-insn "$image" | awk -F'\t' '
    NF < 2 || $1 !~ /^ *[0-9a-f]+:$/ { next }
    {
        text = $2
        sub(/^ +/, "", text); sub(/ +$/, "", text)
        n = split(text, word, /[ ,]+/)
        # The mnemonic: the first word after any prefixes.
        i = 1
        while (i < n && word[i] ~ /^(lock|rep|repz|repe|repnz|repne|data16|data32|addr16|addr32|cs|ds|es|fs|gs|ss|notrack|bnd)$/)
            i++
        m = word[i]
        if (m ~ /^(bswap|cmpxchg|xadd|invd|wbinvd|invlpg)[lwq]?$/ ||
            m ~ /^(cpuid|rdtsc|rdtscp|rdmsr|wrmsr|rdpmc|rsm|cmpxchg8b|cmpxchg16b)$/ ||
            m ~ /^f?cmov/ || m ~ /^fu?comip?$/ || m ~ /^ud[012]$/ ||
            m ~ /^nop[lwq]$/ ||
            m ~ /^(sysenter|sysexit|syscall|sysret[lq]?)$/ ||
            m ~ /^([lms]fence|clflush|clflushopt|clwb|prefetch.*|emms|femms|fxsave|fxrstor|ldmxcsr|stmxcsr|fisttp.*|movnti|maskmovq|monitor|mwait|xgetbv|xsave.*|xrstor.*|movbe|popcnt|lzcnt|tzcnt|crc32|rdrand|rdseed|endbr32|endbr64)$/ ||
            text ~ /%[xyz]?mm[0-9]/)
            printf "  %s\t%s\n", $1, text
    }')
if [ -n "$newer" ]; then
    echo "$name: $(echo "$newer" | wc -l) instructions newer than the 80386/80387:"
    echo "$newer"
    fail=1
else
    echo "$name: every instruction is one of the 80386/80387"
fi

tls=$("$objdump" -p "$image" | awk '/Thread Storage Directory/ && ($3 != "00000000" || $4 != "00000000") { print "at 0x" $3 ", 0x" $4 " bytes" }')
if [ -n "$tls" ] || "$objdump" -h "$image" | grep -qE '^ +[0-9]+ \.tls'; then
    echo "$name: has a TLS directory (${tls:-a .tls section}); Windows 9x does not run every TLS callback"
    fail=1
else
    echo "$name: no TLS directory"
fi
exit $fail
