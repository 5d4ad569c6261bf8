/*
 * The parameter text with which "wordpad.exe" opens the release notes: the
 * quoted path of "readme.doc" in the directory of the running setup.
 */
#ifndef SETUP_SHELL_RELEASE_NOTES_H
#define SETUP_SHELL_RELEASE_NOTES_H

#include <cstddef>

#define CCH_RELEASE_NOTES 512

/*
 * From the setup's own path, e.g. C:\DIST\SETUP.EXE, makes "C:\DIST\readme.doc"
 * (quotes included) in pszParams. False, with nothing to start, when the path
 * has no backslash or the result would not fit cchParams.
 */
bool ReleaseNotesParameters(const char *pszModulePath, char *pszParams, size_t cchParams);

#endif
