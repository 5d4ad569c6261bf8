/*
 * The extraction stage of the install: the payload appended to the running
 * setup goes into the desktop directory, which then becomes the current
 * directory, and the user record and the registration form are written there.
 */
#ifndef SETUP_EXTRACT_EXTRACT_H
#define SETUP_EXTRACT_EXTRACT_H

#include <windows.h>

/*
 * Copies the setup and its release notes into g_szDesktopDir and writes every
 * file of the payload below it. TRUE when the whole payload was written;
 * FALSE after a failure reported in a message box owned by hwndOwner
 * ("Failed step %d, Error code is %d\n"). A damaged setup file ends the
 * program through a consistency check.
 */
BOOL ExtractPayload(HWND hwndOwner);

/*
 * Puts the finished temporary file pszTemp in the place of pszTarget by a
 * rename: MoveFileEx where the system has a working one (fMoveFileEx; never on
 * Windows 95); otherwise the old file is moved aside beside pszTemp, under a
 * name no file has, and deleted once the new one has its name. FALSE, with
 * the system's error, when the rename fails: then both files are as they
 * were. A directory or a read-only file is not replaced.
 */
BOOL ReplaceByRename(const char *pszTemp, const char *pszTarget, BOOL fMoveFileEx);

#endif
