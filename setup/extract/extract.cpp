#include "extract/extract.h"

#include <cstdlib>
#include <cstring>

#include "dialogs/settings.h"
#include "extract/payload.h"
#include "extract/payload_path.h"
#include "shell/check.h"
#include "shell/text.h"

static_assert(PAYLOAD_ERROR_INVALID_NAME == ERROR_INVALID_NAME, "error code of a refused path");
static_assert(PAYLOAD_ERROR_FILENAME_EXCED_RANGE == ERROR_FILENAME_EXCED_RANGE, "error code of a long path");

namespace {

/* The running setup's own file. */
class SetupFile : public ByteSource {
public:
    ~SetupFile() { Close(); }
    bool Open(const char *pszPath)
    {
        m_hFile = CreateFileA(pszPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
        return m_hFile != INVALID_HANDLE_VALUE;
    }
    void Close()
    {
        if (m_hFile != INVALID_HANDLE_VALUE)
            CloseHandle(m_hFile);
        m_hFile = INVALID_HANDLE_VALUE;
    }
    bool SeekTo(uint32_t dwOffset) override
    {
        return SetFilePointer(m_hFile, LONG(dwOffset), NULL, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
    }
    bool SeekFromEnd(uint32_t cbBack) override
    {
        return SetFilePointer(m_hFile, -LONG(cbBack), NULL, FILE_END) != INVALID_SET_FILE_POINTER;
    }
    uint32_t Read(void *pv, uint32_t cb) override
    {
        DWORD dwBytes = 0;
        if (!ReadFile(m_hFile, pv, cb, &dwBytes, NULL))
            return 0;
        return dwBytes;
    }
    uint32_t Size() override
    {
        DWORD dwHigh = 0;
        DWORD dwLow = GetFileSize(m_hFile, &dwHigh);
        return dwHigh != 0 ? 0xFFFFFFFF : dwLow;
    }

private:
    HANDLE m_hFile = INVALID_HANDLE_VALUE;
};

}  // namespace

/* Reports a failed step with the thread's last error and gives up. */
static BOOL ReportFailure(HWND hwndOwner, int step, SetupFile *pFile)
{
    DWORD dwError = GetLastError();
    char szMessage[PAYLOAD_CCH_TEXT];
    FormatText(szMessage, sizeof szMessage, "Failed step %d, Error code is %d\n", step, int(dwError));
    MessageBoxA(hwndOwner, szMessage, "Setup Error", MB_OK);
    pFile->Close();
    return FALSE;
}

/* Creates every directory along pszPath: each prefix up to a backslash
   (after the first character), then the whole. Best effort. */
static void CreateDirectoryTree(char *pszPath)
{
    for (char *pch = pszPath + 1; *pch != '\0'; ++pch) {
        if (*pch == '\\') {
            *pch = '\0';
            CreateDirectoryA(pszPath, NULL);
            *pch = '\\';
        }
    }
    CreateDirectoryA(pszPath, NULL);
}

/* Best-effort copy of pszSource to g_szDesktopDir\pszName. */
static void CopyIntoDesktopDir(const char *pszSource, const char *pszName, char *pszCopy, size_t cchCopy)
{
    if (FormatText(pszCopy, cchCopy, "%s\\%s", g_szDesktopDir, pszName))
        CopyFileA(pszSource, pszCopy, FALSE);
}

/*
 * Opens a new temporary file beside an existing target (its path into
 * pszTemp); the target itself is replaced only once the temporary file is
 * complete. A target that exists but could not be replaced (a directory, a
 * read-only file, one held open) fails here, as creating it would.
 */
static HANDLE CreateReplacement(const char *pszTarget, size_t cchName, char *pszTemp, size_t cchTemp)
{
    HANDLE hFile = CreateFileA(pszTarget, GENERIC_WRITE, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile != INVALID_HANDLE_VALUE)
        CloseHandle(hFile);
    else if (GetLastError() != ERROR_FILE_NOT_FOUND)
        return INVALID_HANDLE_VALUE;

    int cchDir = int(strlen(pszTarget) - cchName);
    for (unsigned n = 0; n < 1000; ++n) {
        if (!FormatText(pszTemp, cchTemp, "%.*s~sp%u.tmp", cchDir, pszTarget, n)) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return INVALID_HANDLE_VALUE;
        }
        hFile = CreateFileA(pszTemp, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
        if (hFile != INVALID_HANDLE_VALUE)
            return hFile;
        DWORD dwError = GetLastError();
        if (dwError != ERROR_FILE_EXISTS && dwError != ERROR_ALREADY_EXISTS)
            break;
    }
    return INVALID_HANDLE_VALUE;
}

/*
 * Opens the file that receives a record's data. A target that does not exist
 * yet is created as it is (pszTemp then empty): a failure removes it again,
 * so nothing half-written stays behind. An existing target is replaced
 * through a temporary file (CreateReplacement), so that a failure leaves the
 * old file whole.
 */
static HANDLE CreateTarget(const char *pszTarget, size_t cchName, char *pszTemp, size_t cchTemp)
{
    pszTemp[0] = '\0';
    HANDLE hFile = CreateFileA(pszTarget, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile != INVALID_HANDLE_VALUE)
        return hFile;
    DWORD dwError = GetLastError();
    if (dwError != ERROR_FILE_EXISTS && dwError != ERROR_ALREADY_EXISTS)
        return INVALID_HANDLE_VALUE;
    return CreateReplacement(pszTarget, cchName, pszTemp, cchTemp);
}

/* Closes and removes an unfinished file; the last error stays. */
static void DiscardFile(HANDLE hFile, const char *pszPath)
{
    DWORD dwError = GetLastError();
    CloseHandle(hFile);
    DeleteFileA(pszPath);
    SetLastError(dwError);
}

typedef BOOL(WINAPI *MOVEFILEEXA)(LPCSTR, LPCSTR, DWORD);

BOOL ReplaceByRename(const char *pszTemp, const char *pszTarget, BOOL fMoveFileEx)
{
    // Windows 95 has no working MoveFileEx: there the old file goes first.
    MOVEFILEEXA pfnMoveFileEx = NULL;
    if (fMoveFileEx)
        pfnMoveFileEx = (MOVEFILEEXA)(void *)GetProcAddress(GetModuleHandleA("kernel32.dll"), "MoveFileExA");
    if (pfnMoveFileEx != NULL) {
        if (pfnMoveFileEx(pszTemp, pszTarget, MOVEFILE_REPLACE_EXISTING))
            return TRUE;
        if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED)
            return FALSE;
    }
    DeleteFileA(pszTarget);
    return MoveFileA(pszTemp, pszTarget);
}

BOOL ExtractPayload(HWND hwndOwner)
{
    char szExe[PAYLOAD_CCH_TEXT];      // the setup's path; then each record's name
    char szDir[PAYLOAD_CCH_TEXT];      // the record's directory
    char szTarget[PAYLOAD_CCH_TEXT];   // the joined target path
    char szCopy[PAYLOAD_CCH_TEXT];     // copies, directory trees, the temporary file
    SetupFile file;
    DWORD dwBytes;
    uint32_t dwOffset;
    int step = 1;

    DWORD cchExe = GetModuleFileNameA(NULL, szExe, sizeof szExe);
    if (cchExe == 0 || cchExe >= sizeof szExe)
        return ReportFailure(hwndOwner, step, &file);

    step = 2;
    if (strcmp(g_szDesktopDir, ".") != 0)
        CreateDirectoryTree(g_szDesktopDir);
    CopyIntoDesktopDir(szExe, "setup.exe", szCopy, sizeof szCopy);
    const char *pszSetup = strstr(szExe, "setup.exe");
    if (pszSetup != NULL
        && FormatText(szTarget, sizeof szTarget, "%.*sreadme.doc", int(pszSetup - szExe), szExe))
        CopyIntoDesktopDir(szTarget, "readme.doc", szCopy, sizeof szCopy);

    if (!file.Open(szExe))
        return ReportFailure(hwndOwner, step, &file);

    step = 3;
    if (!file.SeekFromEnd(PAYLOAD_CB_TAIL))
        return ReportFailure(hwndOwner, step, &file);

    step = 4;
    CHAR chMark = 0;
    dwBytes = file.Read(&chMark, sizeof chMark);
    SETUP_CHECK( sizeof( CHAR ) == dwBytes );
    if (chMark != 0)
        return ReportFailure(hwndOwner, step, &file);

    step = 5;
    dwBytes = ReadPayloadCount(&file, &dwOffset);
    SETUP_CHECK( sizeof( DWORD ) == dwBytes );
    if (!file.SeekTo(dwOffset))
        return ReportFailure(hwndOwner, step, &file);
    // Nothing is written before the whole chain is known to be in the file:
    // a damaged download must not spoil an earlier installation.
    SETUP_CHECK( PayloadChainInsideFile( &file, dwOffset ) );

    // Record k reports step 6 + 2k while its target is made, 7 + 2k for its
    // block and 8 + 2k while its data is copied.
    step = 6;
    for (;;) {
        uint32_t cbText;
        dwBytes = ReadPayloadCount(&file, &cbText);
        SETUP_CHECK( sizeof( DWORD ) == dwBytes );
        if (cbText >= PAYLOAD_CCH_TEXT) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return ReportFailure(hwndOwner, step, &file);
        }
        dwOffset = cbText;
        dwBytes = ReadPayloadText(&file, szExe, dwOffset);
        SETUP_CHECK( dwBytes == dwOffset );
        size_t cchName = dwBytes;

        dwBytes = ReadPayloadCount(&file, &cbText);
        SETUP_CHECK( sizeof( DWORD ) == dwBytes );
        if (cbText >= PAYLOAD_CCH_TEXT) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return ReportFailure(hwndOwner, step, &file);
        }
        dwOffset = cbText;
        dwBytes = ReadPayloadText(&file, szDir, dwOffset);
        SETUP_CHECK( dwBytes == dwOffset );

        // Refused before anything is created for it: a record that would
        // leave the desktop directory, or whose path would not fit.
        DWORD dwRefusal = CheckPayloadPath(szDir, szExe);
        if (dwRefusal == 0 && !BuildTargetPath(szTarget, sizeof szTarget, g_szDesktopDir, szDir, szExe))
            dwRefusal = ERROR_FILENAME_EXCED_RANGE;
        if (dwRefusal != 0) {
            SetLastError(dwRefusal);
            return ReportFailure(hwndOwner, step, &file);
        }
        if (strcmp(szDir, ".") != 0) {
            // A directory that is there already (as most are, after the
            // first file in it) needs no walk along its path.
            FormatText(szCopy, sizeof szCopy, "%s\\%s", g_szDesktopDir, szDir);
            DWORD dwAttributes = GetFileAttributesA(szCopy);
            if (dwAttributes == DWORD(-1) || !(dwAttributes & FILE_ATTRIBUTE_DIRECTORY))
                CreateDirectoryTree(szCopy);
        }

        // szCopy: the temporary file when an existing target is replaced.
        HANDLE hOut = CreateTarget(szTarget, cchName, szCopy, sizeof szCopy);
        if (hOut == INVALID_HANDLE_VALUE)
            return ReportFailure(hwndOwner, step, &file);
        const char *pszWritten = szCopy[0] != '\0' ? szCopy : szTarget;

        ++step;
        uint32_t cbData;
        dwBytes = ReadPayloadCount(&file, &cbData);
        if (dwBytes != sizeof( DWORD ))
            DiscardFile(hOut, pszWritten);
        SETUP_CHECK( sizeof( DWORD ) == dwBytes );
        BYTE *pbData = static_cast<BYTE *>(malloc(cbData != 0 ? cbData : 1));
        if (pbData == NULL) {
            DiscardFile(hOut, pszWritten);
            return ReportFailure(hwndOwner, step, &file);
        }

        ++step;
        dwOffset = cbData;
        dwBytes = file.Read(pbData, dwOffset);
        if (dwBytes != dwOffset)
            DiscardFile(hOut, pszWritten);
        SETUP_CHECK( dwOffset == dwBytes );
        dwBytes = 0;
        BOOL fWritten = WriteFile(hOut, pbData, dwOffset, &dwBytes, NULL) && dwBytes == dwOffset;
        free(pbData);
        if (!fWritten) {
            // Nothing half-written stays behind, and the old file is intact.
            DiscardFile(hOut, pszWritten);
            SETUP_CHECK( dwOffset == dwBytes );
            return ReportFailure(hwndOwner, step, &file);
        }
        CloseHandle(hOut);
        if (szCopy[0] != '\0' && !ReplaceByRename(szCopy, szTarget, TRUE)) {
            DWORD dwError = GetLastError();
            DeleteFileA(szCopy);
            SetLastError(dwError);
            return ReportFailure(hwndOwner, step, &file);
        }

        BYTE cMore = 0;
        dwBytes = file.Read(&cMore, sizeof cMore);
        SETUP_CHECK( dwBytes == sizeof( cMore ) );
        if (cMore != 1)
            break;
    }

    SetCurrentDirectoryA(g_szDesktopDir);
    file.Close();
    WriteRegistrationForm();
    return TRUE;
}
