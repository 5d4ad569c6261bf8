/*
 * The main window: its class, creation, commands and destruction (window.cpp),
 * its painting (window_paint.cpp) and the mouse handling of its command
 * buttons (window_mouse.cpp).
 */
#ifndef SETUP_SHELL_WINDOW_H
#define SETUP_SHELL_WINDOW_H

#include <windows.h>

#include "base/message.h"

extern HBITMAP g_hbmSplash;
extern char g_szFooter[CCH_MESSAGE_TEXT];

/* Registers "tvlSetup"; on success g_hInst holds the instance. */
BOOL RegisterSetupClass(HINSTANCE hInstance);

/* Loads the title and the footer, creates the main window (g_hwndMain) and shows it. */
BOOL CreateSetupWindow(HINSTANCE hInstance, int nCmdShow);

LRESULT CALLBACK SetupWndProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

struct CommandButton;
/* A button's rectangle in client coordinates. */
RECT ButtonRect(const CommandButton *pButton);

/* Handlers of SetupWndProc in the other two files. */
LRESULT OnMainWindowPaint(HWND hwnd, WPARAM wParam, LPARAM lParam);
LRESULT OnMainWindowMouseMove(HWND hwnd, WPARAM wParam, LPARAM lParam);
LRESULT OnMainWindowLButtonDown(HWND hwnd, WPARAM wParam, LPARAM lParam);

#endif
