#include "settings/desktop_dir.h"

#include <cstring>

// Each ends in the one before it.
#define PICKED_FOLDER_SUFFIX "\\tarvelo\\qARNEL"
#define SERVICES_DIR_SUFFIX "\\HPC Applications" PICKED_FOLDER_SUFFIX

const char c_szBuiltInDesktopDir[] = "c:\\Program Files\\HPC Explorer" SERVICES_DIR_SUFFIX;
const char c_szServicesDirSuffix[] = SERVICES_DIR_SUFFIX;
const char c_szPickedFolderSuffix[] = PICKED_FOLDER_SUFFIX;

bool DesktopDirFromInstalledDir(const char *pbValue, size_t cbValue, char *pszDir, size_t cchDir)
{
    const void *pNul = memchr(pbValue, '\0', cbValue);
    size_t cchValue = pNul ? static_cast<size_t>(static_cast<const char *>(pNul) - pbValue) : cbValue;
    size_t cchSuffix = sizeof c_szServicesDirSuffix - 1;
    if (cchValue == 0 || cchValue + cchSuffix + 1 > cchDir)
        return false;
    memcpy(pszDir, pbValue, cchValue);
    memcpy(pszDir + cchValue, c_szServicesDirSuffix, cchSuffix + 1);
    return true;
}

bool PickedFolderSuffixFits(const char *pszFolder)
{
    return strlen(pszFolder) + sizeof c_szPickedFolderSuffix <= CCH_DESKTOP_DIR;
}
