#include "dialogs/placement.h"

int32_t CenteredOrigin(int32_t size, int32_t ownerStart, int32_t ownerSize, int32_t screenSize)
{
    int32_t origin = ownerStart + (ownerSize - size) / 2;
    if (origin < 0)
        origin = 0;
    else if (origin + size > screenSize)
        origin = screenSize - size;
    return origin;
}
