/*
 * ___chkstk_ms: the compiler calls it before it lowers the stack pointer by
 * EAX bytes (4 KB or more), to touch each page on the way down, so that the
 * system's guard page grows the stack one page at a time. Keeps every
 * register; the caller lowers ESP itself.
 */
    .text
    .globl ___chkstk_ms
___chkstk_ms:
    pushl %ecx
    pushl %eax
    leal 12(%esp), %ecx         /* the caller's stack pointer */
1:  cmpl $0x1000, %eax
    jb 2f
    subl $0x1000, %ecx
    orl $0, (%ecx)
    subl $0x1000, %eax
    jmp 1b
2:  subl %eax, %ecx
    orl $0, (%ecx)
    popl %eax
    popl %ecx
    ret
