#include "shell/window.h"

#include <cstring>

#include "base/process.h"
#include "base/text.h"
#include "shell/panel.h"

static const COLORREF c_rgbWhite = RGB(255, 255, 255);
static const COLORREF c_rgbDarkBlue = RGB(0, 0, 160);
static const COLORREF c_rgbYellow = RGB(255, 255, 0);
static const COLORREF c_rgbGrey = RGB(160, 160, 160);

void AddCommandButton(UINT idString)
{
    char szText[256];
    szText[0] = '\0';
    LoadStringA(g_hInst, idString, szText, sizeof szText);
    AppendCommandButton(szText);
}

static RECT ButtonRect(const CommandButton *pButton)
{
    RECT rc = {pButton->rc.left, pButton->rc.top, pButton->rc.right, pButton->rc.bottom};
    return rc;
}

static void DrawSplash(HDC hdc)
{
    HDC hdcMem = CreateCompatibleDC(hdc);
    HGDIOBJ hbmOld = SelectObject(hdcMem, g_hbmSplash);
    SetBkColor(hdc, c_rgbWhite);
    Rectangle(hdc, -1, -1, 582, 462);
    // After the destroy handling the bitmap is gone: the white scene only.
    if (g_hbmSplash != NULL)
        StretchBlt(hdc, 10, 12, 580, 460, hdcMem, 0, 0, 580, 460, SRCCOPY);
    SelectObject(hdcMem, hbmOld);
    DeleteDC(hdcMem);
}

static void DrawButton(HDC hdc, const CommandButton *pButton)
{
    LOGFONTA lf;
    memset(&lf, 0, sizeof lf);
    CopyText(lf.lfFaceName, sizeof lf.lfFaceName, "Arial");
    lf.lfWeight = FW_BOLD;
    lf.lfHeight = 25;
    if (pButton->fHover)
        lf.lfItalic = 1;
    SetTextColor(hdc, pButton->fHover ? c_rgbYellow : c_rgbWhite);
    HFONT hFont = CreateFontIndirectA(&lf);
    HGDIOBJ hFontOld = SelectObject(hdc, hFont);

    LOGBRUSH lb = {BS_SOLID, c_rgbDarkBlue, 0};
    HBRUSH hBrush = CreateBrushIndirect(&lb);
    HGDIOBJ hBrushOld = SelectObject(hdc, hBrush);
    RECT rc = ButtonRect(pButton);
    Rectangle(hdc, rc.left, rc.top, rc.right, rc.bottom);
    SelectObject(hdc, hBrushOld);
    DeleteObject(hBrush);

    DrawTextA(hdc, pButton->pszText, lstrlenA(pButton->pszText), &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(hdc, hFontOld);
    DeleteObject(hFont);
}

static void DrawFooter(HDC hdc)
{
    LOGFONTA lf;
    memset(&lf, 0, sizeof lf);
    CopyText(lf.lfFaceName, sizeof lf.lfFaceName, "Arial");
    lf.lfHeight = 8;
    HFONT hFont = CreateFontIndirectA(&lf);
    HGDIOBJ hFontOld = SelectObject(hdc, hFont);
    SetTextColor(hdc, c_rgbGrey);
    SetBkColor(hdc, c_rgbWhite);
    RECT rc = {0, 395, 580, 460};
    DrawTextA(hdc, g_szFooter, lstrlenA(g_szFooter), &rc, DT_BOTTOM);
    SelectObject(hdc, hFontOld);
    DeleteObject(hFont);
}

LRESULT OnPaint(HWND hwnd, WPARAM wParam, LPARAM lParam)
{
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    DrawSplash(hdc);
    SetBkColor(hdc, c_rgbDarkBlue);
    for (const CommandButton *pButton = g_pButtonHead; pButton != NULL; pButton = pButton->pNext)
        DrawButton(hdc, pButton);
    DrawFooter(hdc);
    EndPaint(hwnd, &ps);
    return DefWindowProcA(hwnd, WM_PAINT, wParam, lParam);
}

// A button whose highlight changed: repaint its rectangle only.
static void RepaintButton(const CommandButton *pButton, void *pContext)
{
    HWND hwnd = static_cast<HWND>(pContext);
    RECT rc = ButtonRect(pButton);
    InvalidateRect(hwnd, &rc, FALSE);
    PostMessageA(hwnd, WM_PAINT, 0, 0);
}

LRESULT OnMouseMove(HWND hwnd, WPARAM wParam, LPARAM lParam)
{
    TrackButtonHover(LOWORD(lParam), HIWORD(lParam), RepaintButton, hwnd);
    return DefWindowProcA(hwnd, WM_MOUSEMOVE, wParam, lParam);
}

LRESULT OnLButtonDown(HWND hwnd, WPARAM wParam, LPARAM lParam)
{
    // The flags of the last pointer movement decide, not the press's position.
    const CommandButton *pButton = HoveredButton();
    if (pButton != NULL)
        PostMessageA(hwnd, WM_COMMAND, pButton->idCommand, 0);
    return DefWindowProcA(hwnd, WM_LBUTTONDOWN, wParam, lParam);
}
