/*
 * A fault guard that needs nothing newer than Windows 95 / NT 4.0 and no C++
 * exceptions: GuardedCall runs pfn(pv) inside a structured-exception frame of
 * its own (guard_x86_64.S, guard_i686.S). It returns 1 when pfn returned and
 * 0 when a fault anywhere below it (an access violation inside a device
 * library, say) was caught; the frames in between are unwound and the
 * program goes on after the call. Whatever pfn left in memory before the
 * fault stays there.
 */
#ifndef SETUP_DEVICE_GUARD_H
#define SETUP_DEVICE_GUARD_H

extern "C" int GuardedCall(void (*pfn)(void *), void *pv);

#endif
