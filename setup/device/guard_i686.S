/*
 * int GuardedCall(void (*pfn)(void *), void *pv)    -- i686, cdecl
 *
 * Pushes an exception registration record on the thread's handler chain
 * (fs:0): next record, handler, and the frame pointer to resume with. When a
 * fault below reaches the handler, it has RtlUnwind (kernel32, every Win32
 * system) unwind the records above this one, running their handlers with the
 * unwinding flag, then points the faulting context at .Lcaught with this
 * frame's stack and frame pointer and lets the system continue there.
 *
 * Stack while pfn runs (ebp = this frame):
 *   ebp-4..-12  saved ebx, esi, edi (restored on both ways out)
 *   ebp-16      frame pointer to resume with        (record + 8)
 *   ebp-20      handler                             (record + 4)
 *   ebp-24      next record                         (record + 0) = esp
 */
    .set CONTEXT_Ebp, 0xB4
    .set CONTEXT_Eip, 0xB8
    .set CONTEXT_Esp, 0xC4
    .set EXCEPTION_UNWIND, 6      /* EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND */

    .text
    .globl _GuardedCall
    .def _GuardedCall; .scl 2; .type 32; .endef
_GuardedCall:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    pushl %ebp
    pushl $GuardedCallHandler
    pushl %fs:0
    movl %esp, %fs:0
    pushl 12(%ebp)
    call *8(%ebp)
    movl $1, %eax
.Lleave:
    leal -24(%ebp), %esp
    popl %ecx
    movl %ecx, %fs:0
    addl $8, %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
.Lcaught:                           /* esp = the record, ebp = this frame */
    xorl %eax, %eax
    jmp .Lleave

/*
 * EXCEPTION_DISPOSITION handler(EXCEPTION_RECORD *rec, void *record,
 *                               CONTEXT *ctx, void *dispatcher)    -- cdecl
 */
    .def GuardedCallHandler; .scl 3; .type 32; .endef
GuardedCallHandler:
    movl 4(%esp), %eax
    testl $EXCEPTION_UNWIND, 4(%eax)    /* ExceptionFlags */
    jnz .Lsearch
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    pushl $0                            /* ReturnValue */
    pushl 8(%ebp)                       /* ExceptionRecord */
    pushl $.Lunwound                    /* TargetIp */
    pushl 12(%ebp)                      /* TargetFrame: our record */
    call _RtlUnwind@16
.Lunwound:
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    movl 8(%esp), %ecx                  /* our record */
    movl 12(%esp), %edx                 /* CONTEXT */
    movl $.Lcaught, CONTEXT_Eip(%edx)
    movl %ecx, CONTEXT_Esp(%edx)
    movl 8(%ecx), %eax
    movl %eax, CONTEXT_Ebp(%edx)
    xorl %eax, %eax                     /* ExceptionContinueExecution */
    ret
.Lsearch:
    movl $1, %eax                       /* ExceptionContinueSearch */
    ret
