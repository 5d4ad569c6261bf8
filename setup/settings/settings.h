/*
 * Install settings: the desktop directory, the chosen books (books.h) and
 * the user record, filled in by the dialogs and consumed by the extraction
 * and device stages. Process-wide, main thread only.
 */
#ifndef SETUP_SETTINGS_SETTINGS_H
#define SETUP_SETTINGS_SETTINGS_H

#include <windows.h>

#include "base/text.h"
#include "settings/books.h"
#include "settings/desktop_dir.h"
#include "settings/userinfo.h"

extern char g_szDesktopDir[CCH_DESKTOP_DIR];
extern USERINFO g_UserInfo;

/* Sets g_szDesktopDir from the desktop services' registry entry, or the built-in default. */
void ComputeDefaultDesktopDir();

/* Loads g_UserInfo from "UserInfo.dat" in g_szDesktopDir (creating an empty file there). */
void ReadUserInfo();

/* Stores g_UserInfo into "UserInfo.dat" in g_szDesktopDir; true when the whole record was written. */
BOOL WriteUserInfo();

#endif
