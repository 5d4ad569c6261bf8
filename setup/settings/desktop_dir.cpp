#include "settings/desktop_dir.h"

#include <cstring>

const char c_szBuiltInDesktopDir[] = "c:\\Program Files\\HPC Explorer\\HPC Applications\\tarvelo\\qARNEL";
const char c_szDesktopDirSuffix[] = "\\HPC Applications\\tarvelo\\qARNEL";
const char c_szInstallSuffix[] = "\\tarvelo\\qARNEL";

bool DesktopDirFromInstalledDir(const char *pbValue, size_t cbValue, char *pszDir, size_t cchDir)
{
    const void *pNul = memchr(pbValue, '\0', cbValue);
    size_t cchValue = pNul ? static_cast<size_t>(static_cast<const char *>(pNul) - pbValue) : cbValue;
    size_t cchSuffix = sizeof c_szDesktopDirSuffix - 1;
    if (cchValue == 0 || cchValue + cchSuffix + 1 > cchDir)
        return false;
    memcpy(pszDir, pbValue, cchValue);
    memcpy(pszDir + cchValue, c_szDesktopDirSuffix, cchSuffix + 1);
    return true;
}

bool InstallSuffixFits(const char *pszFolder)
{
    return strlen(pszFolder) + sizeof c_szInstallSuffix <= CCH_DESKTOP_DIR;
}
