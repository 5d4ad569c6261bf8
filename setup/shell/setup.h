/*
 * Process-wide state of the setup shell: the module instance and the main
 * window. Everything runs on the thread that owns the main window.
 */
#ifndef SETUP_SHELL_SETUP_H
#define SETUP_SHELL_SETUP_H

#include <windows.h>

extern HINSTANCE g_hInst;
extern HWND g_hwndMain;

#endif
