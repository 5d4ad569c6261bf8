/*
 * Bounded text helpers for the fixed buffers used throughout the program.
 * Every function NUL-terminates its destination (when its size is not 0) and
 * reports whether the whole text fitted; nothing ever writes past cchDst.
 */
#ifndef SETUP_BASE_TEXT_H
#define SETUP_BASE_TEXT_H

#include <cstddef>

bool CopyText(char *pszDst, size_t cchDst, const char *pszSrc);
bool AppendText(char *pszDst, size_t cchDst, const char *pszSrc);
bool FormatText(char *pszDst, size_t cchDst, const char *pszFormat, ...)
    __attribute__((format(printf, 3, 4)));

#endif
