#include "base/text.h"

#include <cstdarg>
#include <cstring>

#include "base/format.h"

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
    size_t cch = FormatTextV(pszDst, cchDst, pszFormat, args);
    va_end(args);
    return cch < cchDst;
}
