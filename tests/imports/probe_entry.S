/* The entry point of the probes that are only headers and resources. */
    .text
    .globl _probe
_probe:
    ret
