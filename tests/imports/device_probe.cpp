// A program that links the device install step the way setup.exe does, so
// that its imports can be checked before the install sequence calls it.
#include <windows.h>

#include "device/device.h"
#include "shell/setup.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    g_hInst = hInstance;
    return InstallToDevice() ? 0 : 1;
}
