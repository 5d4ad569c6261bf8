/*
 * The window-free half of the device install step: the text of the load
 * script, the size estimate, the loader's command line and the path of the
 * program started on the device. Plain C++, no <windows.h>.
 */
#ifndef SETUP_DEVICE_LOAD_SCRIPT_H
#define SETUP_DEVICE_LOAD_SCRIPT_H

#include <cstddef>
#include <cstdint>

#include "base/text_stream.h"
#include "settings/books.h"

/* The name the loader knows the application by, in the command line and on the device. */
extern const char c_szDeviceAppName[];
/* The application the script installs, as it is started on the device. */
extern const char c_szDeviceProgram[];
/* The load script, as it is created in the current directory. */
extern const char c_szLoadScriptFile[];

/*
 * Puts the script's lines, in order, each ending in "\n" (CR LF in the
 * file): the application, the books of rgBooks (CBOOKS rows, c_rgBooks in
 * the program) whose flags are set, and the shortcuts.
 */
void WriteLoadScriptLines(TextStream *pStream, const Book *rgBooks);

/*
 * Bytes the chosen books take on the device: a base for the processor
 * (32768 when its name is exactly "SH3", 40960 for any other) plus each
 * chosen book's amount.
 */
int32_t EstimateDeviceBytes(const char *pszCpu);

/* The estimate times 1.04, truncated toward zero. */
int32_t NeededDeviceBytes(int32_t cbEstimate);
/* Whether the device's free space is at least the needed space plus 1000. */
bool DeviceHasRoom(uint32_t cbFree, int32_t cbNeeded);

#define CCH_LOAD_COMMAND_LINE 1024
#define CCH_DEVICE_PROGRAM_PATH 1024

/*
 * The loader's command line: processor, application name, application
 * directory, needed space, user name, company and script name. A double
 * quote in the name or company would end its quoted field early and let the
 * rest of the text become further arguments, so each one is written as a
 * single quote; the stored user record keeps the text as typed. Fields are
 * read up to cchField characters even without a terminator.
 */
bool FormatLoadCommandLine(char *pszDst, size_t cchDst, const char *pszCpu, int32_t cbNeeded,
                           const char *pszName, const char *pszCompany, size_t cchField);

/*
 * Widens an ANSI string to UTF-16, each byte sign-extended to 16 bits, as the
 * remote process API expects. Always terminated; false when it was cut.
 */
template <class WCH> bool WidenAnsi(WCH *pwszDst, size_t cchDst, const char *pszSrc)
{
    if (cchDst == 0)
        return false;
    size_t i = 0;
    for (; pszSrc[i] != '\0'; ++i) {
        if (i + 1 == cchDst) {
            pwszDst[i] = 0;
            return false;
        }
        pwszDst[i] = static_cast<WCH>(static_cast<int16_t>(static_cast<signed char>(pszSrc[i])));
    }
    pwszDst[i] = 0;
    return true;
}

#endif
