/*
 * int GuardedCall(void (*pfn)(void *), void *pv)    -- i686, cdecl
 *
 * Pushes an exception registration record on the thread's handler chain
 * (fs:0): next record, handler, and the frame pointer to resume with. When a
 * fault below reaches the handler, it has RtlUnwind (kernel32, every Win32
 * system) unwind the records above this one, running their handlers with the
 * unwinding flag, then takes this frame's stack and frame pointer back and
 * jumps to .Lcaught itself, as a compiler's __except block does. It never
 * returns "continue execution" to the system: the system refuses that for a
 * non-continuable exception (a C++ throw of another compiler's runtime, say)
 * and raises STATUS_NONCONTINUABLE_EXCEPTION instead.
 *
 * Stack while pfn runs (ebp = this frame):
 *   ebp-4..-12  saved ebx, esi, edi (restored on both ways out)
 *   ebp-16      frame pointer to resume with        (record + 8)
 *   ebp-20      handler                             (record + 4)
 *   ebp-24      next record                         (record + 0) = esp
 */
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
    pushl $0                            /* ReturnValue */
    pushl 8(%ebp)                       /* ExceptionRecord */
    pushl $.Lunwound                    /* TargetIp */
    pushl 12(%ebp)                      /* TargetFrame: our record */
    call _RtlUnwind@16
.Lunwound:
    movl 12(%ebp), %ecx                 /* our record: the guarded frame's esp */
    movl 8(%ecx), %ebp                  /* and its frame pointer */
    movl %ecx, %esp                     /* this handler's own frame is gone */
    jmp .Lcaught
.Lsearch:
    movl $1, %eax                       /* ExceptionContinueSearch */
    ret
