#include "shell/window.h"

#include <cstring>

#include "base/text.h"
#include "shell/button_list.h"
#include "shell/window_layout.h"

static const COLORREF c_rgbWhite = RGB(255, 255, 255);
static const COLORREF c_rgbDarkBlue = RGB(0, 0, 160);
static const COLORREF c_rgbYellow = RGB(255, 255, 0);
static const COLORREF c_rgbGrey = RGB(160, 160, 160);

RECT ButtonRect(const CommandButton *pButton)
{
    RECT rc = {pButton->rc.left, pButton->rc.top, pButton->rc.right, pButton->rc.bottom};
    return rc;
}

static void DrawSplash(HDC hdc)
{
    HDC hdcMem = CreateCompatibleDC(hdc);
    HGDIOBJ hbmOld = SelectObject(hdcMem, g_hbmSplash);
    SetBkColor(hdc, c_rgbWhite);
    // The white ground; its black outline falls just outside the client area.
    Rectangle(hdc, -1, -1, MAIN_WIDTH + 2, MAIN_HEIGHT + 2);
    // After the destroy handling the bitmap is gone: the white scene only.
    if (g_hbmSplash != NULL)
        StretchBlt(hdc, SPLASH_LEFT, SPLASH_TOP, MAIN_WIDTH, MAIN_HEIGHT, hdcMem, 0, 0, MAIN_WIDTH, MAIN_HEIGHT,
                   SRCCOPY);
    SelectObject(hdcMem, hbmOld);
    DeleteDC(hdcMem);
}

// The captions and the footer are drawn in a face named here, not taken
// from the string table: Arial is on every desktop the program runs on, and
// its metrics are what the buttons' 30 pixels were made for.
static HFONT CreateArialFont(LONG lHeight, LONG lWeight, BYTE fItalic)
{
    LOGFONTA lf;
    memset(&lf, 0, sizeof lf);
    CopyText(lf.lfFaceName, sizeof lf.lfFaceName, "Arial");
    lf.lfHeight = lHeight;
    lf.lfWeight = lWeight;
    lf.lfItalic = fItalic;
    return CreateFontIndirectA(&lf);
}

static void DrawButton(HDC hdc, const CommandButton *pButton)
{
    SetTextColor(hdc, pButton->fHover ? c_rgbYellow : c_rgbWhite);
    HFONT hFont = CreateArialFont(25, FW_BOLD, pButton->fHover ? 1 : 0);
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
    HFONT hFont = CreateArialFont(8, FW_DONTCARE, 0);
    HGDIOBJ hFontOld = SelectObject(hdc, hFont);
    SetTextColor(hdc, c_rgbGrey);
    SetBkColor(hdc, c_rgbWhite);
    RECT rc = {0, FOOTER_TOP, MAIN_WIDTH, MAIN_HEIGHT};
    DrawTextA(hdc, g_szFooter, lstrlenA(g_szFooter), &rc, DT_BOTTOM);
    SelectObject(hdc, hFontOld);
    DeleteObject(hFont);
}

LRESULT OnMainWindowPaint(HWND hwnd, WPARAM wParam, LPARAM lParam)
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
