/*
 * Code that does not decode whole, for the test that check_image.py finds
 * it: a jump into the middle of an instruction and bytes that decode as no
 * instruction. Never run.
 */
    .text
    .globl _probe
_probe:
    jmp .Lmiddle + 1
.Lmiddle:
    movl $0x90909090, %eax
    .byte 0xff, 0xff
    ret
