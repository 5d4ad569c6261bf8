#include "device/load_script.h"

#include <cstring>

#include "base/text.h"

// The application's directory on the device; every device path of the
// script and the command line is built from it.
#define DEVICE_APP_DIR "\\Program Files\\qARNEL Beta"
#define DEVICE_BOOKS_DIR DEVICE_APP_DIR "\\Books"
// The application's file on the device; the loader copies the processor's
// build (qARNEL.exe.sh3, qARNEL.exe.mips) under this name.
#define DEVICE_APP_FILE "qARNEL.exe"

const char c_szDeviceAppName[] = "qARNEL";
const char c_szDeviceProgram[] = DEVICE_APP_DIR "\\" DEVICE_APP_FILE;
// The script's name is spelt two ways on purpose. The file is created as
// "qArnel.ld", the name the desktop directory has always shown; the loader is
// handed "qARNEL.ld" (c_szLoadScriptArgument), as it always has been. The
// desktop's file system ignores case, so both name the same file, and each
// spelling is kept where users and the loader have always seen it.
const char c_szLoadScriptFile[] = "qArnel.ld";

namespace {

const char c_szLoadScriptArgument[] = "qARNEL.ld";

// Copies at most cchSrc characters of pszSrc, each '"' written as '\''.
void CopyWithoutQuotes(char *pszDst, size_t cchDst, const char *pszSrc, size_t cchSrc)
{
    size_t i = 0;
    for (; i + 1 < cchDst && i < cchSrc && pszSrc[i] != '\0'; ++i)
        pszDst[i] = pszSrc[i] == '"' ? '\'' : pszSrc[i];
    pszDst[i] = '\0';
}

}  // namespace

void WriteLoadScriptLines(TextStream *pStream, const Book *rgBooks)
{
    char szLine[512];
    pStream->Put("copy . . " DEVICE_APP_FILE "\n");
    pStream->Put("copy . \\Windows qARNEL.htc\n");
    pStream->Put("mkdir \"" DEVICE_BOOKS_DIR "\" \n");
    for (int i = 0; i < CBOOKS; ++i) {
        if (!*rgBooks[i].pfChosen)
            continue;
        FormatText(szLine, sizeof szLine, "mkdir \"" DEVICE_BOOKS_DIR "\\%s\" \n", rgBooks[i].pszDeviceDir);
        pStream->Put(szLine);
    }
    for (int i = 0; i < CBOOKS; ++i) {
        const Book &book = rgBooks[i];
        if (!*book.pfChosen)
            continue;
        for (const char *const *ppszFile = book.ppszFiles; *ppszFile != nullptr; ++ppszFile) {
            FormatText(szLine, sizeof szLine, "copy %s \"" DEVICE_BOOKS_DIR "\\%s\" \"%s\" \n",
                       book.pszPayloadDir, book.pszDeviceDir, *ppszFile);
            pStream->Put(szLine);
        }
    }
    pStream->Put("createShortcut \\Windows\\Programs \"qARNEL Beta.lnk\" . \"" DEVICE_APP_FILE "\" \n");
    pStream->Put("createShortcut \\Windows\\Desktop  \"qARNEL Beta.lnk\" . \"" DEVICE_APP_FILE "\" \n");
    pStream->Put("exit\n");
}

int32_t EstimateDeviceBytes(const char *pszCpu)
{
    int32_t cb = strcmp(pszCpu, "SH3") == 0 ? 32768 : 40960;
    for (int i = 0; i < CBOOKS; ++i)
        if (*c_rgBooks[i].pfChosen)
            cb += c_rgBooks[i].cbDevice;
    return cb;
}

int32_t NeededDeviceBytes(int32_t cbEstimate)
{
    return static_cast<int32_t>(cbEstimate * 1.04);
}

bool DeviceHasRoom(uint32_t cbFree, int32_t cbNeeded)
{
    return cbFree >= static_cast<uint32_t>(cbNeeded + 1000);
}

bool FormatLoadCommandLine(char *pszDst, size_t cchDst, const char *pszCpu, int32_t cbNeeded,
                           const char *pszName, const char *pszCompany, size_t cchField)
{
    char szName[256];
    char szCompany[256];
    CopyWithoutQuotes(szName, sizeof szName, pszName, cchField);
    CopyWithoutQuotes(szCompany, sizeof szCompany, pszCompany, cchField);
    return FormatText(pszDst, cchDst, "%s \"%s\" \"" DEVICE_APP_DIR "\" %d \"%s\" \"%s\" %s", pszCpu,
                      c_szDeviceAppName, static_cast<int>(cbNeeded), szName, szCompany, c_szLoadScriptArgument);
}
