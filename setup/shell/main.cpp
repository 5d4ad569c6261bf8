#include "base/process.h"
#include "shell/window.h"

#include "res/resource.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    // The start-up show mode is not used: the window is always shown normally.
    if (!RegisterSetupClass(hInstance))
        return 0;
    if (!CreateSetupWindow(hInstance, SW_SHOWNORMAL))
        return 0;
    HACCEL hAccel = LoadAcceleratorsA(hInstance, MAKEINTRESOURCEA(IDR_ACCEL));

    MSG msg;
    msg.wParam = 0;
    while (GetMessageA(&msg, NULL, 0, 0) == 1) {
        if (!TranslateAcceleratorA(g_hwndMain, hAccel, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return static_cast<int>(msg.wParam);
}
