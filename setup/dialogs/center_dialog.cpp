#include "dialogs/dialogs.h"

#include "dialogs/placement.h"

void CenterDialog(HWND hwnd, HWND hwndOver)
{
    RECT rc, rcOver;
    GetWindowRect(hwnd, &rc);
    GetWindowRect(hwndOver, &rcOver);
    HDC hdc = GetDC(hwnd);
    int cxScreen = GetDeviceCaps(hdc, HORZRES);
    int cyScreen = GetDeviceCaps(hdc, VERTRES);
    ReleaseDC(hwnd, hdc);

    int x = CenteredOrigin(rc.right - rc.left, rcOver.left, rcOver.right - rcOver.left, cxScreen);
    int y = CenteredOrigin(rc.bottom - rc.top, rcOver.top, rcOver.bottom - rcOver.top, cyScreen);
    SetWindowPos(hwnd, NULL, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}
