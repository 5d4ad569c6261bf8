/*
 * The main window: its class, creation, commands and destruction (window.cpp),
 * and the painting and mouse handling of its command buttons (buttons.cpp).
 */
#ifndef SETUP_SHELL_WINDOW_H
#define SETUP_SHELL_WINDOW_H

#include <windows.h>

#define CCH_FOOTER 1024

extern HBITMAP g_hbmSplash;
extern char g_szFooter[CCH_FOOTER];

/* Registers "tvlSetup"; on success g_hInst holds the instance. */
BOOL RegisterSetupClass(HINSTANCE hInstance);

/* Loads the title and the footer, creates the main window (g_hwndMain) and shows it. */
BOOL CreateSetupWindow(HINSTANCE hInstance, int nCmdShow);

LRESULT CALLBACK SetupWndProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

/* Command buttons (buttons.cpp). */
void AddCommandButton(UINT idString);
LRESULT OnPaint(HWND hwnd, WPARAM wParam, LPARAM lParam);
LRESULT OnMouseMove(HWND hwnd, WPARAM wParam, LPARAM lParam);
LRESULT OnLButtonDown(HWND hwnd, WPARAM wParam, LPARAM lParam);

#endif
