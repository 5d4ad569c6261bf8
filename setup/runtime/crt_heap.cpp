// malloc and free on the process heap, which every Win32 system has.
#include <windows.h>

extern "C" {

void *malloc(size_t cb)
{
    return HeapAlloc(GetProcessHeap(), 0, cb);
}

void free(void *pv)
{
    if (pv != NULL)
        HeapFree(GetProcessHeap(), 0, pv);
}

}  // extern "C"
