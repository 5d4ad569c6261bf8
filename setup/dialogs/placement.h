/*
 * Where a dialog goes: centred over another window, then pushed back onto the
 * screen. One axis at a time, in screen pixels, signed 32-bit arithmetic.
 */
#ifndef SETUP_DIALOGS_PLACEMENT_H
#define SETUP_DIALOGS_PLACEMENT_H

#include <cstdint>

/*
 * The dialog's left (or top) edge: centred over the window that starts at
 * ownerStart and is ownerSize long, the halving truncated toward zero; then 0
 * when that is negative, or else screenSize - size when the dialog would pass
 * the screen's far edge.
 */
int32_t CenteredOrigin(int32_t size, int32_t ownerStart, int32_t ownerSize, int32_t screenSize);

#endif
