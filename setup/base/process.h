/*
 * Process-wide handles: the module instance and the main window. Everything
 * runs on the thread that owns the main window.
 */
#ifndef SETUP_BASE_PROCESS_H
#define SETUP_BASE_PROCESS_H

#include <windows.h>

extern HINSTANCE g_hInst;
extern HWND g_hwndMain;

/* The running program's own path in pszPath; FALSE when there is none or it does not fit. */
BOOL GetProgramPath(char *pszPath, DWORD cchPath);

#endif
