/*
 * The program's own C runtime. setup.exe links no C runtime DLL (a fresh
 * Windows 95 has none that it could rely on) and none of the compiler's
 * start-up code: it brings the few C library functions it uses, under their
 * standard names, and its own entry point.
 *
 * The string functions are plain C++. In setup.exe they carry the standard
 * names (SETUP_OWN_RUNTIME); built for the tests beside the host's C library
 * they carry the prefix rt_, so that the tests can hold them against it.
 */
#ifndef SETUP_RUNTIME_CRT_NAMES_H
#define SETUP_RUNTIME_CRT_NAMES_H

#include <cstddef>

#ifdef SETUP_OWN_RUNTIME
#define CRT_NAME(name) name
#else
#define CRT_NAME(name) rt_##name
#endif

extern "C" {
void *CRT_NAME(memcpy)(void *pvDst, const void *pvSrc, size_t cb);
void *CRT_NAME(memmove)(void *pvDst, const void *pvSrc, size_t cb);
void *CRT_NAME(memset)(void *pvDst, int b, size_t cb);
int CRT_NAME(memcmp)(const void *pv1, const void *pv2, size_t cb);
void *CRT_NAME(memchr)(const void *pv, int b, size_t cb);
size_t CRT_NAME(strlen)(const char *psz);
size_t CRT_NAME(strnlen)(const char *psz, size_t cchMax);
int CRT_NAME(strcmp)(const char *psz1, const char *psz2);
char *CRT_NAME(strchr)(const char *psz, int ch);
char *CRT_NAME(strrchr)(const char *psz, int ch);
char *CRT_NAME(strstr)(const char *psz, const char *pszFind);
char *CRT_NAME(strpbrk)(const char *psz, const char *pszSet);
size_t CRT_NAME(strcspn)(const char *psz, const char *pszSet);
}

#endif
