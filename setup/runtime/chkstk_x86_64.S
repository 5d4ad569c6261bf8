/*
 * ___chkstk_ms: the compiler calls it before it lowers the stack pointer by
 * RAX bytes (4 KB or more), to touch each page on the way down, so that the
 * system's guard page grows the stack one page at a time. Keeps every
 * register; the caller lowers RSP itself.
 */
    .text
    .globl ___chkstk_ms
___chkstk_ms:
    pushq %rcx
    pushq %rax
    leaq 24(%rsp), %rcx         /* the caller's stack pointer */
1:  cmpq $0x1000, %rax
    jb 2f
    subq $0x1000, %rcx
    orq $0, (%rcx)
    subq $0x1000, %rax
    jmp 1b
2:  subq %rax, %rcx
    orq $0, (%rcx)
    popq %rax
    popq %rcx
    ret
