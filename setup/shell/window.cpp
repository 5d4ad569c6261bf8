#include "shell/window.h"

#include <shellapi.h>

#include <cstring>

#include "base/check.h"
#include "base/message.h"
#include "base/process.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "shell/button_list.h"
#include "shell/install.h"
#include "shell/release_notes.h"
#include "shell/window_layout.h"

HBITMAP g_hbmSplash;
char g_szFooter[CCH_MESSAGE_TEXT];

static const char c_szClassName[] = "tvlSetup";

BOOL RegisterSetupClass(HINSTANCE hInstance)
{
    WNDCLASSA wc;
    memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = SetupWndProc;
    wc.hInstance = hInstance;
    wc.hIcon = LoadIconA(hInstance, MAKEINTRESOURCEA(IDI_SETUP));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = c_szClassName;
    if (!RegisterClassA(&wc))
        return FALSE;
    g_hInst = hInstance;
    return TRUE;
}

BOOL CreateSetupWindow(HINSTANCE hInstance, int nCmdShow)
{
    char szTitle[CCH_MESSAGE_TEXT];
    LoadProgramString(IDS_TITLE, szTitle, sizeof szTitle);
    LoadProgramString(IDS_FOOTER, g_szFooter, sizeof g_szFooter);

    HWND hwnd = CreateWindowExA(0, c_szClassName, szTitle, WS_OVERLAPPED | WS_VISIBLE, 0, 0,
                                MAIN_WIDTH, MAIN_HEIGHT, NULL, NULL, hInstance, NULL);
    g_hwndMain = hwnd;
    if (hwnd == NULL)
        return FALSE;
    ShowWindow(hwnd, nCmdShow);
    UpdateWindow(hwnd);
    return TRUE;
}

// A button with its caption from the string table.
static void AddCommandButton(UINT idString)
{
    char szText[256];
    LoadProgramString(idString, szText, sizeof szText);
    AppendCommandButton(szText);
}

static_assert(IDM_RELEASENOTES == IDM_INSTALL + 1 && IDM_WEBSITE == IDM_INSTALL + 2 && IDM_EXIT == IDM_INSTALL + 3,
              "the buttons get the commands' ids in the order they are added");

// Returns 1, not the 0 that creation expects: the system only tells a -1
// apart, and the program has always answered 1 here.
static LRESULT OnMainWindowCreate(HWND hwnd)
{
    g_hwndMain = hwnd;
    AddCommandButton(IDS_BTN_INSTALL);
    AddCommandButton(IDS_BTN_RELEASENOTES);
    AddCommandButton(IDS_BTN_WEBSITE);
    AddCommandButton(IDS_BTN_EXIT);

    memset(&g_UserInfo, 0, sizeof g_UserInfo);

    HICON hIcon = static_cast<HICON>(LoadImageA(g_hInst, MAKEINTRESOURCEA(IDI_SETUP), IMAGE_ICON, 16, 16,
                                                LR_DEFAULTCOLOR));
    SETUP_CHECK(NULL != hIcon);
    SendMessageA(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(hIcon));

    g_hbmSplash = LoadBitmapA(g_hInst, MAKEINTRESOURCEA(IDB_SPLASH));

    int x = GetSystemMetrics(SM_CXSCREEN) / 2 - MAIN_WIDTH / 2;
    int y = GetSystemMetrics(SM_CYSCREEN) / 2 - MAIN_HEIGHT / 2;
    SetWindowPos(hwnd, NULL, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);

    PostMessageA(hwnd, WM_COMMAND, IDM_INIT, 0);
    return 1;
}

// The list and the bitmap are left empty, so a paint, a mouse message or a
// second destroy message that still arrives before the loop ends finds nothing.
static LRESULT OnMainWindowDestroy()
{
    FreeCommandButtons();
    if (g_hbmSplash != NULL) {
        DeleteObject(g_hbmSplash);
        g_hbmSplash = NULL;
    }
    PostQuitMessage(0);
    return 0;
}

// Opens pszFile, a program or an address, as the shell does.
static BOOL ShellOpen(HWND hwnd, const char *pszFile, const char *pszParameters, int nShow)
{
    SHELLEXECUTEINFOA sei;
    memset(&sei, 0, sizeof sei);
    sei.cbSize = sizeof sei;
    sei.hwnd = hwnd;
    sei.lpFile = pszFile;
    sei.lpParameters = pszParameters;
    sei.nShow = nShow;
    return ShellExecuteExA(&sei);
}

static void ShowReleaseNotes(HWND hwnd)
{
    char szModule[CCH_RELEASE_NOTES];
    char szParams[CCH_RELEASE_NOTES];
    if (GetProgramPath(szModule, sizeof szModule) && ReleaseNotesParameters(szModule, szParams, sizeof szParams))
        ShellOpen(hwnd, "wordpad.exe", szParams, SW_SHOWMAXIMIZED);
}

static void ShowWebPage(HWND hwnd)
{
    char szAddress[512];
    LoadProgramString(IDS_WEB_ADDRESS, szAddress, sizeof szAddress);
    // The address goes with the show mode it always had, 0.
    if (!ShellOpen(hwnd, szAddress, NULL, 0))
        ShowStringMessage(hwnd, IDS_NOBROWSER, IDS_NOBROWSER_CAPTION, MB_OK);
}

static LRESULT OnMainWindowCommand(HWND hwnd, WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case IDM_INIT:
        ComputeDefaultDesktopDir();
        break;
    case IDM_INSTALL:
        switch (RunInstallSequence()) {
        case INSTALL_STOPPED:
            return 0;
        case INSTALL_FINISHED_NOTES:
            ShowReleaseNotes(hwnd);
            return 1;
        case INSTALL_FINISHED:
            break;
        }
        break;
    case IDM_RELEASENOTES:
        ShowReleaseNotes(hwnd);
        return 1;
    case IDM_WEBSITE:
        ShowWebPage(hwnd);
        return 1;
    case IDM_EXIT:
        // The destroy handling ends the loop; the window object goes with the process.
        PostMessageA(hwnd, WM_DESTROY, 0, 0);
        break;
    }
    return DefWindowProcA(hwnd, WM_COMMAND, wParam, lParam);
}

LRESULT CALLBACK SetupWndProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_CREATE:
        return OnMainWindowCreate(hwnd);
    case WM_DESTROY:
        return OnMainWindowDestroy();
    case WM_PAINT:
        return OnMainWindowPaint(hwnd, wParam, lParam);
    case WM_COMMAND:
        return OnMainWindowCommand(hwnd, wParam, lParam);
    case WM_MOUSEMOVE:
        return OnMainWindowMouseMove(hwnd, wParam, lParam);
    case WM_LBUTTONDOWN:
        return OnMainWindowLButtonDown(hwnd, wParam, lParam);
    default:
        return DefWindowProcA(hwnd, uMsg, wParam, lParam);
    }
}
