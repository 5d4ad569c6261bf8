#include "shell/window.h"

#include "shell/button_list.h"

// A button whose highlight changed: repaint its rectangle only. The paint
// message is posted by hand, as the program always has: it comes before the
// next input, where the one the invalidation brings waits for an empty queue,
// and its BeginPaint paints the invalid rectangle.
static void RepaintButton(const CommandButton *pButton, void *pContext)
{
    HWND hwnd = static_cast<HWND>(pContext);
    RECT rc = ButtonRect(pButton);
    InvalidateRect(hwnd, &rc, FALSE);
    PostMessageA(hwnd, WM_PAINT, 0, 0);
}

LRESULT OnMainWindowMouseMove(HWND hwnd, WPARAM wParam, LPARAM lParam)
{
    TrackButtonHover(LOWORD(lParam), HIWORD(lParam), RepaintButton, hwnd);
    return DefWindowProcA(hwnd, WM_MOUSEMOVE, wParam, lParam);
}

LRESULT OnMainWindowLButtonDown(HWND hwnd, WPARAM wParam, LPARAM lParam)
{
    // The flags of the last pointer movement decide, not the press's position.
    const CommandButton *pButton = HoveredButton();
    if (pButton != NULL)
        PostMessageA(hwnd, WM_COMMAND, pButton->idCommand, 0);
    return DefWindowProcA(hwnd, WM_LBUTTONDOWN, wParam, lParam);
}
