// The program's formatter called as vsnprintf's twin, for the tests and the
// fuzz target that hold the two side by side.
#pragma once

#include <cstdarg>
#include <cstddef>

#include "base/format.h"

inline size_t FormatOurs(char *psz, size_t cch, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    size_t cchAll = FormatTextV(psz, cch, format, args);
    va_end(args);
    return cchAll;
}
