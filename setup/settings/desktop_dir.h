/*
 * The default desktop directory: where the payload goes unless the user
 * chooses another folder. Derived from the directory the handheld PC's
 * desktop services were installed in, or a built-in path.
 */
#ifndef SETUP_SETTINGS_DESKTOP_DIR_H
#define SETUP_SETTINGS_DESKTOP_DIR_H

#include <cstddef>

#define CCH_DESKTOP_DIR 260

/* Where the services' install directory is not known. */
extern const char c_szBuiltInDesktopDir[];
/* Put behind the services' install directory. */
extern const char c_szServicesDirSuffix[];

/*
 * Builds the desktop directory from the raw bytes of the services' install
 * directory value (cbValue bytes, terminated or not; the text ends at the
 * first NUL within them). Returns false, leaving pszDir untouched, when the
 * text is empty or would not fit the buffer together with the suffix.
 */
bool DesktopDirFromInstalledDir(const char *pbValue, size_t cbValue, char *pszDir, size_t cchDir);

/* Put behind a folder the user picks. */
extern const char c_szPickedFolderSuffix[];

/* Whether a picked folder, with the suffix behind it, fits the desktop directory. */
bool PickedFolderSuffixFits(const char *pszFolder);

/* The release notes, shipped beside the setup and copied with it to the desktop directory. */
#define RELEASE_NOTES_FILE "readme.doc"

#endif
