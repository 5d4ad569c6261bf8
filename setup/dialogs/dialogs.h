/*
 * The three dialogs of the install sequence and their placement. Each is
 * modal, owned by the main window, and ends with TRUE (go on) or FALSE (stop).
 */
#ifndef SETUP_DIALOGS_DIALOGS_H
#define SETUP_DIALOGS_DIALOGS_H

#include <windows.h>

/* Centres hwnd over hwndOver and keeps it on the screen; size and z-order stay. */
void CenterDialog(HWND hwnd, HWND hwndOver);

INT_PTR CALLBACK LicenseDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK UserInfoDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK OptionsDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

/*
 * The folder picker. TRUE when the user chose a folder: g_szDesktopDir then
 * holds its path, without the install suffix. FALSE when the picker was
 * cancelled or the folder cannot be used (a too long path is reported), with
 * g_szDesktopDir unchanged.
 */
BOOL BrowseForDesktopDir();

#endif
