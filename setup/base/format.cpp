#include "base/format.h"

#include <climits>
#include <cstdint>
#include <cstddef>

namespace {

// The output: characters past the buffer are counted, not written.
struct Output {
    char *pchDst;
    size_t cchDst;
    size_t cch;

    void Put(char ch)
    {
        if (cch + 1 < cchDst)
            pchDst[cch] = ch;
        ++cch;
    }
    void Repeat(char ch, size_t n)
    {
        while (n-- != 0)
            Put(ch);
    }
};

struct Spec {
    bool fLeft, fZero, fPlus, fSpace, fAlternate;
    size_t cchWidth;
    bool fPrecision;
    size_t cchPrecision;
};

size_t ReadNumber(const char **ppch)
{
    size_t n = 0;
    for (; **ppch >= '0' && **ppch <= '9'; ++*ppch) {
        if (n < INT_MAX / 10)
            n = n * 10 + static_cast<size_t>(**ppch - '0');
    }
    return n;
}

// A field of cchBody characters: the prefix (sign, 0x), zeros, then the body.
void PutField(Output *pOut, const Spec &spec, const char *pszPrefix, size_t cchZeros, const char *pchBody,
              size_t cchBody)
{
    size_t cchPrefix = 0;
    while (pszPrefix[cchPrefix] != '\0')
        ++cchPrefix;
    size_t cchAll = cchPrefix + cchZeros + cchBody;
    size_t cchPad = spec.cchWidth > cchAll ? spec.cchWidth - cchAll : 0;
    if (!spec.fLeft)
        pOut->Repeat(' ', cchPad);
    for (size_t i = 0; i < cchPrefix; ++i)
        pOut->Put(pszPrefix[i]);
    pOut->Repeat('0', cchZeros);
    for (size_t i = 0; i < cchBody; ++i)
        pOut->Put(pchBody[i]);
    if (spec.fLeft)
        pOut->Repeat(' ', cchPad);
}

void PutInteger(Output *pOut, Spec spec, size_t uValue, bool fNegative, char chConversion)
{
    unsigned uBase = chConversion == 'o' ? 8 : (chConversion == 'x' || chConversion == 'X') ? 16 : 10;
    const char *pszDigits = chConversion == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
    char rgchDigits[32];
    size_t cchDigits = 0;
    for (size_t u = uValue; u != 0; u /= uBase)
        rgchDigits[sizeof rgchDigits - ++cchDigits] = pszDigits[u % uBase];
    const char *pchDigits = rgchDigits + sizeof rgchDigits - cchDigits;

    // A precision sets the least number of digits (so 0 with precision 0 is
    // no digit at all); without one a value has at least one digit.
    size_t cchMinimum = spec.fPrecision ? spec.cchPrecision : 1;
    size_t cchZeros = cchMinimum > cchDigits ? cchMinimum - cchDigits : 0;

    const char *pszPrefix = "";
    bool fSigned = chConversion == 'd' || chConversion == 'i';
    if (fSigned)
        pszPrefix = fNegative ? "-" : spec.fPlus ? "+" : spec.fSpace ? " " : "";
    else if (spec.fAlternate && uBase == 16 && uValue != 0)
        pszPrefix = chConversion == 'X' ? "0X" : "0x";
    else if (spec.fAlternate && uBase == 8 && cchZeros == 0 && (cchDigits == 0 || uValue != 0))
        cchZeros = 1;

    if (spec.fZero && !spec.fLeft && !spec.fPrecision) {
        size_t cchPrefix = 0;
        while (pszPrefix[cchPrefix] != '\0')
            ++cchPrefix;
        size_t cchAll = cchPrefix + cchZeros + cchDigits;
        if (spec.cchWidth > cchAll)
            cchZeros += spec.cchWidth - cchAll;
    }
    PutField(pOut, spec, pszPrefix, cchZeros, pchDigits, cchDigits);
}

}  // namespace

size_t FormatTextV(char *pszDst, size_t cchDst, const char *pszFormat, va_list args)
{
    Output out = {pszDst, cchDst, 0};
    for (const char *pch = pszFormat; *pch != '\0'; ++pch) {
        if (*pch != '%') {
            out.Put(*pch);
            continue;
        }
        const char *pchConversion = pch++;
        Spec spec = {};
        for (;; ++pch) {
            if (*pch == '-')
                spec.fLeft = true;
            else if (*pch == '0')
                spec.fZero = true;
            else if (*pch == '+')
                spec.fPlus = true;
            else if (*pch == ' ')
                spec.fSpace = true;
            else if (*pch == '#')
                spec.fAlternate = true;
            else
                break;
        }
        if (*pch == '*') {
            ++pch;
            int nWidth = va_arg(args, int);
            if (nWidth < 0) {
                spec.fLeft = true;
                spec.cchWidth = nWidth == INT_MIN ? static_cast<size_t>(INT_MAX) : static_cast<size_t>(-nWidth);
            } else {
                spec.cchWidth = static_cast<size_t>(nWidth);
            }
        } else {
            spec.cchWidth = ReadNumber(&pch);
        }
        if (*pch == '.') {
            ++pch;
            spec.fPrecision = true;
            if (*pch == '*') {
                ++pch;
                int nPrecision = va_arg(args, int);
                spec.fPrecision = nPrecision >= 0;   // a negative one counts as none
                spec.cchPrecision = nPrecision >= 0 ? static_cast<size_t>(nPrecision) : 0;
            } else {
                spec.cchPrecision = ReadNumber(&pch);
            }
        }
        char chLength = 0;
        if (*pch == 'h' || *pch == 'l' || *pch == 'z')
            chLength = *pch++;

        switch (*pch) {
        case 'd':
        case 'i': {
            ptrdiff_t n = chLength == 'l' ? va_arg(args, long)
                       : chLength == 'z' ? static_cast<ptrdiff_t>(va_arg(args, ptrdiff_t))
                                         : va_arg(args, int);
            if (chLength == 'h')
                n = static_cast<short>(n);
            size_t u = n < 0 ? 0 - static_cast<size_t>(n) : static_cast<size_t>(n);
            PutInteger(&out, spec, u, n < 0, *pch);
            break;
        }
        case 'u':
        case 'x':
        case 'X':
        case 'o': {
            size_t u = chLength == 'l' ? va_arg(args, unsigned long)
                        : chLength == 'z' ? va_arg(args, size_t)
                                          : va_arg(args, unsigned);
            if (chLength == 'h')
                u = static_cast<unsigned short>(u);
            PutInteger(&out, spec, u, false, *pch);
            break;
        }
        case 'c': {
            char ch = static_cast<char>(va_arg(args, int));
            PutField(&out, spec, "", 0, &ch, 1);
            break;
        }
        case 's': {
            const char *psz = va_arg(args, const char *);
            if (psz == nullptr)
                psz = "(null)";
            size_t cch = 0;
            while ((!spec.fPrecision || cch < spec.cchPrecision) && psz[cch] != '\0')
                ++cch;
            PutField(&out, spec, "", 0, psz, cch);
            break;
        }
        case '%':
            out.Put('%');
            break;
        default:
            // Not a conversion of ours: the text as it stands, up to here.
            for (; pchConversion != pch; ++pchConversion)
                out.Put(*pchConversion);
            if (*pch == '\0')
                --pch;
            else
                out.Put(*pch);
            break;
        }
    }
    if (cchDst != 0)
        pszDst[out.cch < cchDst ? out.cch : cchDst - 1] = '\0';
    return out.cch;
}
