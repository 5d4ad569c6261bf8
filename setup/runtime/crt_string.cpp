// The string and memory functions of the C library that the program and the
// compiler's own code call. Byte at a time: the program's texts are short,
// and its large copies go through the system's file functions.
#include "runtime/crt_names.h"

extern "C" {

void *CRT_NAME(memcpy)(void *pvDst, const void *pvSrc, size_t cb)
{
    unsigned char *pbDst = static_cast<unsigned char *>(pvDst);
    const unsigned char *pbSrc = static_cast<const unsigned char *>(pvSrc);
    while (cb-- != 0)
        *pbDst++ = *pbSrc++;
    return pvDst;
}

void *CRT_NAME(memmove)(void *pvDst, const void *pvSrc, size_t cb)
{
    unsigned char *pbDst = static_cast<unsigned char *>(pvDst);
    const unsigned char *pbSrc = static_cast<const unsigned char *>(pvSrc);
    if (pbDst <= pbSrc || pbDst >= pbSrc + cb) {
        while (cb-- != 0)
            *pbDst++ = *pbSrc++;
    } else {
        while (cb != 0) {
            --cb;
            pbDst[cb] = pbSrc[cb];
        }
    }
    return pvDst;
}

void *CRT_NAME(memset)(void *pvDst, int b, size_t cb)
{
    unsigned char *pbDst = static_cast<unsigned char *>(pvDst);
    while (cb-- != 0)
        *pbDst++ = static_cast<unsigned char>(b);
    return pvDst;
}

int CRT_NAME(memcmp)(const void *pv1, const void *pv2, size_t cb)
{
    const unsigned char *pb1 = static_cast<const unsigned char *>(pv1);
    const unsigned char *pb2 = static_cast<const unsigned char *>(pv2);
    for (; cb != 0; --cb, ++pb1, ++pb2) {
        if (*pb1 != *pb2)
            return *pb1 < *pb2 ? -1 : 1;
    }
    return 0;
}

void *CRT_NAME(memchr)(const void *pv, int b, size_t cb)
{
    const unsigned char *pb = static_cast<const unsigned char *>(pv);
    for (; cb != 0; --cb, ++pb) {
        if (*pb == static_cast<unsigned char>(b))
            return const_cast<unsigned char *>(pb);
    }
    return nullptr;
}

size_t CRT_NAME(strlen)(const char *psz)
{
    const char *pch = psz;
    while (*pch != '\0')
        ++pch;
    return static_cast<size_t>(pch - psz);
}

size_t CRT_NAME(strnlen)(const char *psz, size_t cchMax)
{
    size_t cch = 0;
    while (cch < cchMax && psz[cch] != '\0')
        ++cch;
    return cch;
}

int CRT_NAME(strcmp)(const char *psz1, const char *psz2)
{
    const unsigned char *pb1 = reinterpret_cast<const unsigned char *>(psz1);
    const unsigned char *pb2 = reinterpret_cast<const unsigned char *>(psz2);
    while (*pb1 != '\0' && *pb1 == *pb2) {
        ++pb1;
        ++pb2;
    }
    return *pb1 == *pb2 ? 0 : (*pb1 < *pb2 ? -1 : 1);
}

char *CRT_NAME(strchr)(const char *psz, int ch)
{
    const char c = static_cast<char>(ch);
    for (;; ++psz) {
        if (*psz == c)
            return const_cast<char *>(psz);
        if (*psz == '\0')
            return nullptr;
    }
}

char *CRT_NAME(strrchr)(const char *psz, int ch)
{
    const char c = static_cast<char>(ch);
    const char *pchLast = nullptr;
    for (;; ++psz) {
        if (*psz == c)
            pchLast = psz;
        if (*psz == '\0')
            return const_cast<char *>(pchLast);
    }
}

char *CRT_NAME(strstr)(const char *psz, const char *pszFind)
{
    for (;; ++psz) {
        size_t i = 0;
        while (pszFind[i] != '\0' && psz[i] == pszFind[i])
            ++i;
        if (pszFind[i] == '\0')
            return const_cast<char *>(psz);
        if (*psz == '\0')
            return nullptr;
    }
}

size_t CRT_NAME(strcspn)(const char *psz, const char *pszSet)
{
    size_t cch = 0;
    for (; psz[cch] != '\0'; ++cch) {
        for (const char *pchSet = pszSet; *pchSet != '\0'; ++pchSet) {
            if (psz[cch] == *pchSet)
                return cch;
        }
    }
    return cch;
}

char *CRT_NAME(strpbrk)(const char *psz, const char *pszSet)
{
    psz += CRT_NAME(strcspn)(psz, pszSet);
    return *psz != '\0' ? const_cast<char *>(psz) : nullptr;
}

}  // extern "C"
