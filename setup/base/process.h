/*
 * Process-wide handles: the module instance and the main window. Everything
 * runs on the thread that owns the main window.
 */
#ifndef SETUP_BASE_PROCESS_H
#define SETUP_BASE_PROCESS_H

#include <windows.h>

extern HINSTANCE g_hInst;
extern HWND g_hwndMain;

#endif
