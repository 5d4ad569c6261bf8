#include "extract/payload_path.h"

#include <cstring>

#include "extract/payload.h"

static bool IsSeparator(char ch) { return ch == '\\' || ch == '/'; }

/* "..", "...", ". ": Windows takes such a component as a step up, or strips
   its dots and blanks away; only "." itself is harmless. */
static bool IsDotsAndBlanks(const char *pch, size_t cch)
{
    for (size_t i = 0; i < cch; ++i) {
        if (pch[i] != '.' && pch[i] != ' ')
            return false;
    }
    return true;
}

static char UpperAscii(char ch) { return (ch >= 'a' && ch <= 'z') ? char(ch - 'a' + 'A') : ch; }

static bool SameAsciiNoCase(const char *pch, size_t cch, const char *pszWord)
{
    if (strlen(pszWord) != cch)
        return false;
    for (size_t i = 0; i < cch; ++i) {
        if (UpperAscii(pch[i]) != pszWord[i])
            return false;
    }
    return true;
}

/* A device ("CON", "aux.txt", "LPT1 "): writing there leaves the directory. */
static bool IsDeviceName(const char *pch, size_t cch)
{
    size_t cchBase = 0;
    while (cchBase < cch && pch[cchBase] != '.')
        ++cchBase;
    while (cchBase > 0 && pch[cchBase - 1] == ' ')
        --cchBase;
    static const char *const c_rgpszDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
    for (const char *pszDevice : c_rgpszDevices) {
        if (SameAsciiNoCase(pch, cchBase, pszDevice))
            return true;
    }
    return cchBase == 4 && (SameAsciiNoCase(pch, 3, "COM") || SameAsciiNoCase(pch, 3, "LPT"))
           && pch[3] >= '1' && pch[3] <= '9';
}

uint32_t CheckPayloadPath(const char *pszDir, const char *pszName)
{
    size_t cchName = strlen(pszName);
    if (cchName == 0 || strpbrk(pszName, "\\/:") != nullptr || IsDotsAndBlanks(pszName, cchName)
        || IsDeviceName(pszName, cchName))
        return PAYLOAD_ERROR_INVALID_NAME;

    if (IsSeparator(pszDir[0]) || strchr(pszDir, ':') != nullptr)
        return PAYLOAD_ERROR_INVALID_NAME;
    for (const char *pch = pszDir;;) {
        size_t cch = strcspn(pch, "\\/");
        bool fHarmless = cch == 0 || (cch == 1 && pch[0] == '.');
        if (!fHarmless && (IsDotsAndBlanks(pch, cch) || IsDeviceName(pch, cch)))
            return PAYLOAD_ERROR_INVALID_NAME;
        if (pch[cch] == '\0')
            break;
        pch += cch + 1;
    }
    return 0;
}

void ReduceDotSegments(char *pszPath)
{
    char *pch;
    while ((pch = strstr(pszPath, "\\.\\")) != nullptr)
        memmove(pch + 1, pch + 3, strlen(pch + 3) + 1);
}

bool BuildTargetPath(char *pszPath, size_t cchPath, const char *pszRoot, const char *pszDir,
                     const char *pszName)
{
    if (cchPath == 0)
        return false;
    size_t cchRoot = strlen(pszRoot), cchDir = strlen(pszDir), cchName = strlen(pszName);
    if (cchRoot + 1 + cchDir + 1 + cchName >= cchPath) {
        pszPath[0] = '\0';
        return false;
    }
    char *pch = pszPath;
    memcpy(pch, pszRoot, cchRoot);
    pch += cchRoot;
    *pch++ = '\\';
    memcpy(pch, pszDir, cchDir);
    pch += cchDir;
    *pch++ = '\\';
    memcpy(pch, pszName, cchName + 1);
    ReduceDotSegments(pszPath);
    return true;
}
