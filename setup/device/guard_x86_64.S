/*
 * int GuardedCall(void (*pfn)(void *), void *pv)    -- x86_64
 *
 * A frame with a language-specific handler, as the compiler makes for
 * __try/__except: __C_specific_handler and a one-entry scope table covering
 * the call of pfn. Its filter accepts every exception, so the system unwinds
 * the frames below (running their unwind handlers) and resumes at .Lcaught
 * with the stack pointer of this frame.
 */
    .text
    .globl GuardedCall
    .def GuardedCall; .scl 2; .type 32; .endef
    .seh_proc GuardedCall
GuardedCall:
    subq $40, %rsp              /* home space for the callee, stack 16-aligned */
    .seh_stackalloc 40
    .seh_endprologue
    movq %rcx, %rax
    movq %rdx, %rcx
.Lbegin:
    callq *%rax
    nop                         /* the return address stays inside the scope */
.Lend:
    movl $1, %eax
    addq $40, %rsp
    ret
.Lcaught:
    xorl %eax, %eax
    addq $40, %rsp
    ret
    .seh_handler __C_specific_handler, @except
    .seh_handlerdata
    .long 1                     /* one scope */
    .rva .Lbegin, .Lend, GuardedCallFilter, .Lcaught
    .text
    .seh_endproc

/* LONG filter(EXCEPTION_POINTERS *, void *frame): EXCEPTION_EXECUTE_HANDLER. */
    .def GuardedCallFilter; .scl 3; .type 32; .endef
GuardedCallFilter:
    movl $1, %eax
    ret
