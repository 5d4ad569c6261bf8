/*
 * One instruction of each kind that an 80386 with its 80387 cannot run, for
 * the test that check_image.py refuses them all, each with its address. The
 * last three are ones a list of the forbidden kinds had missed. Never run.
 */
    .text
    .globl _probe
_probe:
    bswap %eax                  /* 80486 */
    cmpxchg %ecx, (%eax)
    xadd %eax, (%ecx)
    cpuid                       /* Pentium */
    rdtsc
    cmpxchg8b (%eax)
    cmove %eax, %ecx            /* Pentium Pro */
    fcmove %st(1), %st
    fcomi %st(1), %st
    ud2
    nopl 0(%eax)
    sysenter                    /* Pentium II */
    movq %mm0, %mm1             /* MMX */
    movaps %xmm0, %xmm1         /* SSE */
    sfence
    lfence                      /* SSE2 */
    mfence
    pause                       /* Pentium 4 */
    clac                        /* Broadwell */
    rdpid %eax                  /* Goldmont Plus */
    ret
