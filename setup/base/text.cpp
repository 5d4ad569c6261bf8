#include "base/text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

bool CopyText(char *pszDst, size_t cchDst, const char *pszSrc)
{
    if (cchDst == 0)
        return false;
    size_t cch = strlen(pszSrc);
    bool fFits = cch < cchDst;
    if (!fFits)
        cch = cchDst - 1;
    memcpy(pszDst, pszSrc, cch);
    pszDst[cch] = '\0';
    return fFits;
}

bool AppendText(char *pszDst, size_t cchDst, const char *pszSrc)
{
    if (cchDst == 0)
        return false;
    size_t cchUsed = strnlen(pszDst, cchDst);
    if (cchUsed == cchDst) {
        pszDst[cchDst - 1] = '\0';
        return false;
    }
    return CopyText(pszDst + cchUsed, cchDst - cchUsed, pszSrc);
}

bool FormatText(char *pszDst, size_t cchDst, const char *pszFormat, ...)
{
    if (cchDst == 0)
        return false;
    va_list args;
    va_start(args, pszFormat);
#ifdef _WIN32
    // The C runtime's own formatter (msvcrt). libstdc++ switches plain
    // vsnprintf to mingw's, which would add some 30 KB to the program. It
    // returns -1, or cchDst without a terminator, when the text does not fit.
    int cch = _vsnprintf(pszDst, cchDst, pszFormat, args);
#else
    int cch = vsnprintf(pszDst, cchDst, pszFormat, args);
#endif
    va_end(args);
    pszDst[cchDst - 1] = '\0';
    return cch >= 0 && static_cast<size_t>(cch) < cchDst;
}
