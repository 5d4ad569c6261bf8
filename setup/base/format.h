/*
 * The program's text formatter: the printf conversions its texts use, with
 * C's meaning. Writes at most cchDst - 1 characters and a terminating NUL
 * (nothing when cchDst is 0), and returns the length of the whole text, as
 * vsnprintf does, so that the caller can tell a cut text.
 *
 * Conversions: d i u x X o c s %; flags - 0 + space #; a width and a
 * precision, each a number or *; the length modifiers h, l and z. Any other
 * conversion is written as it stands.
 */
#ifndef SETUP_BASE_FORMAT_H
#define SETUP_BASE_FORMAT_H

#include <cstdarg>
#include <cstddef>

size_t FormatTextV(char *pszDst, size_t cchDst, const char *pszFormat, va_list args);

#endif
