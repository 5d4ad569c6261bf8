#include "shell/release_notes.h"

#include <cstring>

#include "settings/desktop_dir.h"

static const char c_szReadme[] = RELEASE_NOTES_FILE "\"";

bool ReleaseNotesParameters(const char *pszModulePath, char *pszParams, size_t cchParams)
{
    const char *pszSlash = strrchr(pszModulePath, '\\');
    if (pszSlash == nullptr)
        return false;
    size_t cchDir = static_cast<size_t>(pszSlash - pszModulePath) + 1;
    if (1 + cchDir + sizeof c_szReadme > cchParams)
        return false;
    pszParams[0] = '"';
    memcpy(pszParams + 1, pszModulePath, cchDir);
    memcpy(pszParams + 1 + cchDir, c_szReadme, sizeof c_szReadme);
    return true;
}
