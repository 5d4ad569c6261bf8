#include "extract/extract.h"

#include <cstdlib>
#include <cstring>

#include "base/check.h"
#include "base/text.h"
#include "extract/payload.h"
#include "extract/payload_path.h"
#include "settings/settings.h"

static_assert(PAYLOAD_ERROR_INVALID_NAME == ERROR_INVALID_NAME, "error code of a refused path");
static_assert(PAYLOAD_ERROR_FILENAME_EXCED_RANGE == ERROR_FILENAME_EXCED_RANGE, "error code of a long path");

namespace {

/* The running setup's own file. Offsets are unsigned 32-bit: every file
   the format can describe (under 4 GB) is read whole. */
class SetupFile : public ByteSource {
public:
    ~SetupFile() { Close(); }
    bool Open(const char *pszPath)
    {
        m_hFile = CreateFileA(pszPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
        if (m_hFile == INVALID_HANDLE_VALUE)
            return false;
        DWORD dwHigh = 0;
        SetLastError(NO_ERROR);
        m_cbFile = GetFileSize(m_hFile, &dwHigh);
        m_fDescribable = dwHigh == 0 && !(m_cbFile == INVALID_FILE_SIZE && GetLastError() != NO_ERROR);
        return true;
    }
    void Close()
    {
        if (m_hFile != INVALID_HANDLE_VALUE)
            CloseHandle(m_hFile);
        m_hFile = INVALID_HANDLE_VALUE;
    }
    bool SeekTo(uint32_t dwOffset) override
    {
        // With the high word, so that offsets of 2 GB and more are not
        // taken for negative ones.
        LONG lHigh = 0;
        SetLastError(NO_ERROR);
        DWORD dwLow = SetFilePointer(m_hFile, LONG(dwOffset), &lHigh, FILE_BEGIN);
        return !(dwLow == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
    }
    bool SeekFromEnd(uint32_t cbBack) override
    {
        if (!m_fDescribable) {
            SetLastError(ERROR_FILE_TOO_LARGE);
            return false;
        }
        if (cbBack > m_cbFile) {
            SetLastError(ERROR_NEGATIVE_SEEK);
            return false;
        }
        return SeekTo(m_cbFile - cbBack);
    }
    uint32_t Read(void *pv, uint32_t cb) override
    {
        DWORD dwBytes = 0;
        if (!ReadFile(m_hFile, pv, cb, &dwBytes, NULL))
            return 0;
        return dwBytes;
    }
    uint32_t Size() override { return m_fDescribable ? m_cbFile : 0xFFFFFFFF; }

private:
    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    DWORD m_cbFile = 0;
    bool m_fDescribable = false;   // under 4 GB
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

/*
 * A damaged setup file ends the program here, through the consistency check
 * of the read that came up short: dwBytes is what the read got, dwOffset what
 * it wanted (the names the report has always shown).
 *
 * SETUP_CHECK shows the user its expression and its line number: keep the
 * expressions' spelling as they are, and mind that moving these lines
 * changes what the report says.
 */
static void EndShortRead(PayloadShortRead shortRead, DWORD dwBytes, DWORD dwOffset)
{
    switch (shortRead) {
    case PAYLOAD_SHORT_MARK:
        SETUP_CHECK( sizeof( CHAR ) == dwBytes );
        break;
    case PAYLOAD_SHORT_OFFSET:
    case PAYLOAD_SHORT_COUNT:
        SETUP_CHECK( sizeof( DWORD ) == dwBytes );
        break;
    case PAYLOAD_SHORT_TEXT:
        SETUP_CHECK( dwBytes == dwOffset );
        break;
    case PAYLOAD_SHORT_DATA:
        SETUP_CHECK( dwOffset == dwBytes );
        break;
    case PAYLOAD_SHORT_MORE: {
        BYTE cMore;
        SETUP_CHECK( dwBytes == sizeof( cMore ) );
        break;
    }
    default:
        break;
    }
}

/* The same for the pre-walk, which found the chain from dwOffset, where
   record 0 starts, not to lie inside the file. The running program's file
   does not change under it, so the walk fails here again. */
static void EndBrokenChain(SetupFile &file, uint32_t dwOffset)
{
    SETUP_CHECK( PayloadChainInsideFile( &file, dwOffset ) );
}

/*
 * Writes one record's data from the setup file (at it) to the record's
 * target: step record.nStep makes the target, nStep + 1 its buffer, nStep + 2
 * copies the data. FALSE after a reported failure.
 */
static BOOL ExtractRecord(HWND hwndOwner, const PayloadRecordInfo &record, SetupFile &file)
{
    int step = record.nStep;
    if (strcmp(record.szDir, ".") != 0) {
        // A directory that is there already (as most are, after the first
        // file in it) needs no walk along its path.
        char szDirPath[PAYLOAD_CCH_TEXT];
        if (FormatText(szDirPath, sizeof szDirPath, "%s\\%s", g_szDesktopDir, record.szDir)) {
            DWORD dwAttributes = GetFileAttributesA(szDirPath);
            if (dwAttributes == DWORD(-1) || !(dwAttributes & FILE_ATTRIBUTE_DIRECTORY))
                CreateDirectoryTree(szDirPath);
        }
    }

    // The name's own length: a name with NUL bytes inside its count ends at
    // the first of them.
    char szTemp[PAYLOAD_CCH_TEXT];   // the temporary file when an existing target is replaced
    HANDLE hOut = CreateTarget(record.szTarget, strlen(record.szName), szTemp, sizeof szTemp);
    if (hOut == INVALID_HANDLE_VALUE)
        return ReportFailure(hwndOwner, step, &file);
    const char *pszWritten = szTemp[0] != '\0' ? szTemp : record.szTarget;

    ++step;
    BYTE *pbData = static_cast<BYTE *>(malloc(record.cbData != 0 ? record.cbData : 1));
    if (pbData == NULL) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        DiscardFile(hOut, pszWritten);
        return ReportFailure(hwndOwner, step, &file);
    }

    ++step;
    DWORD dwRead = file.Read(pbData, record.cbData);
    if (dwRead != record.cbData) {
        free(pbData);
        DiscardFile(hOut, pszWritten);
        EndShortRead(PAYLOAD_SHORT_DATA, dwRead, record.cbData);
        return ReportFailure(hwndOwner, step, &file);
    }
    DWORD dwWritten = 0;
    BOOL fWritten = WriteFile(hOut, pbData, record.cbData, &dwWritten, NULL);
    free(pbData);
    if (fWritten && dwWritten != record.cbData) {
        // A disk file takes a write whole or fails it, but for a full disk.
        SetLastError(ERROR_DISK_FULL);
        fWritten = FALSE;
    }
    if (!fWritten) {
        // A full disk, say: no fault of the setup file. Nothing half-written
        // stays behind, and an old file is intact.
        DiscardFile(hOut, pszWritten);
        return ReportFailure(hwndOwner, step, &file);
    }
    if (!CloseHandle(hOut)) {
        DWORD dwError = GetLastError();
        DeleteFileA(pszWritten);
        SetLastError(dwError);
        return ReportFailure(hwndOwner, step, &file);
    }
    // The rename finishes making the target: the record's own step.
    if (szTemp[0] != '\0' && !ReplaceByRename(szTemp, record.szTarget, TRUE)) {
        DWORD dwError = GetLastError();
        DeleteFileA(szTemp);
        SetLastError(dwError);
        return ReportFailure(hwndOwner, record.nStep, &file);
    }
    return TRUE;
}

BOOL ExtractPayload(HWND hwndOwner)
{
    char szSetup[PAYLOAD_CCH_TEXT];   // the running setup's own file
    char szNotes[PAYLOAD_CCH_TEXT];   // the release notes beside it
    char szCopy[PAYLOAD_CCH_TEXT];    // where a copy of either goes
    SetupFile file;
    int step = 1;

    DWORD cchSetup = GetModuleFileNameA(NULL, szSetup, sizeof szSetup);
    if (cchSetup == 0 || cchSetup >= sizeof szSetup)
        return ReportFailure(hwndOwner, step, &file);

    step = 2;
    if (strcmp(g_szDesktopDir, ".") != 0)
        CreateDirectoryTree(g_szDesktopDir);
    CopyIntoDesktopDir(szSetup, "setup.exe", szCopy, sizeof szCopy);
    const char *pszSetupName = strstr(szSetup, "setup.exe");
    if (pszSetupName != NULL
        && FormatText(szNotes, sizeof szNotes, "%.*sreadme.doc", int(pszSetupName - szSetup), szSetup))
        CopyIntoDesktopDir(szNotes, "readme.doc", szCopy, sizeof szCopy);

    if (!file.Open(szSetup))
        return ReportFailure(hwndOwner, step, &file);

    // Steps 3 to 5 find the payload and walk its chain, before anything is
    // written; then each record in turn (PayloadWalker).
    PayloadWalker walk(&file, g_szDesktopDir);
    PayloadResult result;
    while ((result = walk.Next()) == PAYLOAD_RECORD) {
        if (!ExtractRecord(hwndOwner, walk.Record(), file))
            return FALSE;
    }
    const PayloadScan &scan = walk.Scan();
    if (result == PAYLOAD_DAMAGED) {
        if (scan.shortRead == PAYLOAD_SHORT_CHAIN)
            EndBrokenChain(file, scan.dwOffset);
        else
            EndShortRead(scan.shortRead, scan.cbRead, scan.cbWanted);
    }
    if (result != PAYLOAD_COMPLETE) {
        if (result == PAYLOAD_REFUSED)
            SetLastError(scan.dwError);
        return ReportFailure(hwndOwner, scan.nStep, &file);
    }

    SetCurrentDirectoryA(g_szDesktopDir);
    file.Close();
    WriteRegistrationForm();
    return TRUE;
}
