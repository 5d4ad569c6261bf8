#include "extract/extract.h"

#include <cstdlib>
#include <cstring>

#include "base/check.h"
#include "base/message.h"
#include "base/process.h"
#include "base/text.h"
#include "extract/payload.h"
#include "extract/user_files.h"
#include "res/resource.h"
#include "settings/settings.h"

static_assert(PAYLOAD_ERROR_INVALID_NAME == ERROR_INVALID_NAME, "error code of a refused path");
static_assert(PAYLOAD_ERROR_FILENAME_EXCED_RANGE == ERROR_FILENAME_EXCED_RANGE, "error code of a long path");

namespace {

/* The running setup's own file, read through the window; offsets are unsigned, so files of 2 GB up to 4 GB are read whole. */
class SetupFile : public WindowedSource {
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
        m_fUnder4GB = dwHigh == 0 && !(m_cbFile == INVALID_FILE_SIZE && GetLastError() != NO_ERROR);
        return true;
    }
    void Close()
    {
        if (m_hFile != INVALID_HANDLE_VALUE)
            CloseHandle(m_hFile);
        m_hFile = INVALID_HANDLE_VALUE;
    }
    bool SeekFromEnd(uint32_t cbBack) override
    {
        if (!m_fUnder4GB) {
            SetLastError(ERROR_FILE_TOO_LARGE);
            return false;
        }
        if (cbBack > m_cbFile) {
            SetLastError(ERROR_NEGATIVE_SEEK);
            return false;
        }
        return SeekTo(m_cbFile - cbBack);
    }
    uint32_t Size() override { return m_fUnder4GB ? m_cbFile : 0xFFFFFFFF; }

protected:
    uint32_t ReadAt(uint32_t dwOffset, void *pv, uint32_t cb) override
    {
        // With the high word, so that offsets of 2 GB and more are not
        // taken for negative ones.
        LONG lHigh = 0;
        SetLastError(NO_ERROR);
        DWORD dwLow = SetFilePointer(m_hFile, LONG(dwOffset), &lHigh, FILE_BEGIN);
        DWORD dwBytes = 0;
        if ((dwLow == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)
            || !ReadFile(m_hFile, pv, cb, &dwBytes, NULL))
            return 0;
        return dwBytes;
    }

private:
    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    DWORD m_cbFile = 0;
    bool m_fUnder4GB = false;
};

}  // namespace

/* Reports a failed step with the thread's last error and gives up. */
static BOOL ReportFailure(HWND hwndOwner, int step)
{
    DWORD dwError = GetLastError();
    char szMessage[CCH_MESSAGE_TEXT];
    FormatText(szMessage, sizeof szMessage, "Failed step %d, Error code is %d\n", step, int(dwError));
    ShowMessageText(hwndOwner, szMessage, IDS_SETUP_ERROR, MB_OK);
    return FALSE;
}

/* Creates every directory along pszPath, each prefix up to a backslash, then the whole; best effort. */
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

/* Whether an existing file could be written: not when it is a directory, a
   read-only file or one held open (the last error then says which). */
static BOOL CanReplace(const char *pszTarget)
{
    HANDLE hFile = CreateFileA(pszTarget, GENERIC_WRITE, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    CloseHandle(hFile);
    return TRUE;
}

/*
 * Gives a file beside pszPath a name that no file has: tries "~sp0.tmp",
 * "~sp1.tmp" and so on in the directory that is the first cchDir characters
 * of pszPath, each put into pszTemp. A name that is there already, or that is
 * pszSkip, is passed over; any other goes to pfnTake, until pfnTake succeeds
 * or fails while the name is still free (the last error then says why).
 * Whether a name is taken is looked up, not read from pfnTake's failure: the
 * systems answer it with different codes (Windows NT 80 or 183, Windows 95's
 * rename "access denied").
 */
typedef BOOL (*TAKENAMEPROC)(const char *pszTemp, void *pvContext);

static BOOL TakeTempName(const char *pszPath, size_t cchDir, const char *pszSkip, char *pszTemp, size_t cchTemp,
                         TAKENAMEPROC pfnTake, void *pvContext)
{
    for (unsigned n = 0; n < 1000; ++n) {
        if (!FormatText(pszTemp, cchTemp, "%.*s~sp%u.tmp", int(cchDir), pszPath, n)) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return FALSE;
        }
        if ((pszSkip != NULL && strcmp(pszTemp, pszSkip) == 0) || GetFileAttributesA(pszTemp) != DWORD(-1))
            continue;
        if (pfnTake(pszTemp, pvContext))
            return TRUE;
        DWORD dwError = GetLastError();
        if (GetFileAttributesA(pszTemp) == DWORD(-1)) {
            SetLastError(dwError);
            return FALSE;
        }
    }
    SetLastError(ERROR_FILE_EXISTS);
    return FALSE;
}

static BOOL MoveTargetTo(const char *pszAside, void *pvTarget)
{
    return MoveFileA(static_cast<const char *>(pvTarget), pszAside);
}

/* Windows 95's line sets the high bit of GetVersion's answer, Windows NT clears it. */
static BOOL IsWindows9x()
{
    return (GetVersion() & 0x80000000) != 0;
}

typedef BOOL(WINAPI *MOVEFILEEXA)(LPCSTR, LPCSTR, DWORD);

BOOL ReplaceByRename(const char *pszTemp, const char *pszTarget, BOOL fMoveFileEx)
{
    // Windows 95 exports a MoveFileExA that moves nothing, and which error it
    // then sets has not been seen: there it is not called at all. Elsewhere a
    // MoveFileExA that is missing, or that answers 120 (not implemented),
    // takes the same way.
    MOVEFILEEXA pfnMoveFileEx = NULL;
    if (fMoveFileEx && !IsWindows9x())
        pfnMoveFileEx = (MOVEFILEEXA)(void *)GetProcAddress(GetModuleHandleA("kernel32.dll"), "MoveFileExA");
    if (pfnMoveFileEx != NULL) {
        if (pfnMoveFileEx(pszTemp, pszTarget, MOVEFILE_REPLACE_EXISTING))
            return TRUE;
        if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED)
            return FALSE;
    }
    // Without MoveFileEx the old file is moved aside, beside the new one,
    // under a name no file has (never the new file's own), and deleted once
    // the new one has its name; moved back when it cannot get it. What
    // MoveFileEx would not replace stays.
    DWORD dwAttributes = GetFileAttributesA(pszTarget);
    if (dwAttributes != DWORD(-1) && (dwAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    char szAside[PAYLOAD_CCH_TEXT];
    const char *pszTempName = strrchr(pszTemp, '\\');
    size_t cchDir = pszTempName != NULL ? size_t(pszTempName + 1 - pszTemp) : 0;
    if (!TakeTempName(pszTemp, cchDir, pszTemp, szAside, sizeof szAside, MoveTargetTo,
                      const_cast<char *>(pszTarget))) {
        // No old file: the new one simply takes the name.
        DWORD dwError = GetLastError();
        if (GetFileAttributesA(pszTarget) == DWORD(-1))
            return MoveFileA(pszTemp, pszTarget);
        SetLastError(dwError);
        return FALSE;
    }
    if (!MoveFileA(pszTemp, pszTarget)) {
        DWORD dwError = GetLastError();
        MoveFileA(szAside, pszTarget);
        SetLastError(dwError);
        return FALSE;
    }
    DeleteFileA(szAside);
    return TRUE;
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

namespace {

/*
 * The file that receives a record's data, from its creation until it has the
 * target's name. A target that does not exist yet is written as it is; an
 * existing one through a temporary file beside it that the commit renames over
 * it, so that a failure leaves the old file whole. Unless committed, the file
 * is closed and removed when its owner goes, and the last error stays.
 */
class OutputFile {
public:
    OutputFile() { m_szTemp[0] = '\0'; }
    ~OutputFile() { Discard(); }
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    // The target's name is its last cchName characters. A target that exists
    // but cannot be replaced (a directory, a read-only file, one held open)
    // fails here, as creating it would.
    BOOL Create(const char *pszTarget, size_t cchName)
    {
        m_pszTarget = pszTarget;
        m_hFile = CreateFileA(pszTarget, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
        if (m_hFile != INVALID_HANDLE_VALUE) {
            m_pszWritten = pszTarget;
            return TRUE;
        }
        // Whether the target is there is looked up: the code of the failure
        // is not the same on every system.
        DWORD dwError = GetLastError();
        if (GetFileAttributesA(pszTarget) == DWORD(-1)) {
            SetLastError(dwError);
            return FALSE;
        }
        if (!CanReplace(pszTarget)
            || !TakeTempName(pszTarget, strlen(pszTarget) - cchName, NULL, m_szTemp, sizeof m_szTemp, CreateTemp,
                             &m_hFile))
            return FALSE;
        m_pszWritten = m_szTemp;
        return TRUE;
    }
    // A disk file takes a write whole or fails it, but for a full disk.
    BOOL Write(const void *pv, DWORD cb)
    {
        DWORD cbWritten = 0;
        if (!WriteFile(m_hFile, pv, cb, &cbWritten, NULL))
            return FALSE;
        if (cbWritten != cb)
            SetLastError(ERROR_DISK_FULL);
        return cbWritten == cb;
    }
    BOOL Close()
    {
        HANDLE hFile = m_hFile;
        m_hFile = INVALID_HANDLE_VALUE;
        return CloseHandle(hFile);
    }
    // Gives the closed file the target's name; from then on it stays.
    BOOL Commit()
    {
        if (m_pszWritten == m_szTemp && !ReplaceByRename(m_szTemp, m_pszTarget, TRUE))
            return FALSE;
        m_pszWritten = NULL;
        return TRUE;
    }
    void Discard()
    {
        DWORD dwError = GetLastError();
        if (m_hFile != INVALID_HANDLE_VALUE)
            Close();
        if (m_pszWritten != NULL)
            DeleteFileA(m_pszWritten);
        m_pszWritten = NULL;
        SetLastError(dwError);
    }

private:
    static BOOL CreateTemp(const char *pszTemp, void *phFile)
    {
        HANDLE hFile = CreateFileA(pszTemp, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
        *static_cast<HANDLE *>(phFile) = hFile;
        return hFile != INVALID_HANDLE_VALUE;
    }

    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    const char *m_pszTarget = NULL;
    const char *m_pszWritten = NULL;   // the file made, until it is committed or discarded
    char m_szTemp[PAYLOAD_CCH_TEXT];   // the temporary file when an existing target is replaced
};

}  // namespace

/*
 * A setup packed with checksums whose record's data is not what was packed
 * ends the program here, before anything of that record is written; so does
 * one whose payload ends after another number of records than were packed.
 * (SETUP_CHECK shows these expressions and lines, as above.)
 */
static void EndDamagedRecord(PayloadWalker &walk, const BYTE *pbData, DWORD dwBytes)
{
    SETUP_CHECK( walk.MatchesChecksum( pbData, dwBytes ) );
}

static void EndMiscountedPayload(const PayloadScan &scan)
{
    SETUP_CHECK( scan.chain.cPayload == scan.cChecksums );
}

/*
 * Writes the data of the record the walk has handed out from the setup file
 * (at it) to the record's target: step record.nStep makes the target,
 * nStep + 1 its buffer, nStep + 2 copies the data. 0 when the target is
 * complete; else the failed step, with the system's error, and nothing
 * half-written stays behind.
 */
static int ExtractRecord(PayloadWalker &walk, SetupFile &file)
{
    const PayloadRecordInfo &record = walk.Record();
    // The name's own length: a name with NUL bytes inside its count ends at
    // the first of them. The record's directory is looked up, and made, only
    // when the target cannot be created (as for the first file in it), not
    // for every file; then the target is tried once more. The lookup, not
    // the failure's code, says whether the directory is missing.
    OutputFile out;
    const size_t cchName = strlen(record.szName);
    BOOL fCreated = out.Create(record.szTarget, cchName);
    if (!fCreated && strcmp(record.szDir, ".") != 0) {
        const DWORD dwError = GetLastError();
        char szDirPath[PAYLOAD_CCH_TEXT];
        if (FormatText(szDirPath, sizeof szDirPath, "%s\\%s", g_szDesktopDir, record.szDir)) {
            const DWORD dwAttributes = GetFileAttributesA(szDirPath);
            if (dwAttributes == DWORD(-1) || !(dwAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                CreateDirectoryTree(szDirPath);
                fCreated = out.Create(record.szTarget, cchName);
            } else {
                SetLastError(dwError);
            }
        }
    }
    if (!fCreated)
        return record.nStep;
    BYTE *pbData = static_cast<BYTE *>(malloc(record.cbData != 0 ? record.cbData : 1));
    if (pbData == NULL) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return record.nStep + 1;
    }
    DWORD dwRead = file.Read(pbData, record.cbData);
    // Data that is not as it was packed is never written.
    BOOL fIntact = dwRead == record.cbData && walk.MatchesChecksum(pbData, dwRead);
    if (dwRead == record.cbData && !fIntact) {
        out.Discard();
        EndDamagedRecord(walk, pbData, dwRead);
    }
    BOOL fWritten = fIntact && out.Write(pbData, record.cbData);
    free(pbData);
    if (dwRead != record.cbData) {
        out.Discard();
        EndShortRead(PAYLOAD_SHORT_DATA, dwRead, record.cbData);
    }
    // A full disk, say, is no fault of the setup file.
    if (!fWritten || !out.Close())
        return record.nStep + 2;
    // The rename finishes making the target: the record's own step.
    return out.Commit() ? 0 : record.nStep;
}

BOOL ExtractPayload(HWND hwndOwner)
{
    char szSetup[PAYLOAD_CCH_TEXT];   // the running setup's own file
    char szNotes[PAYLOAD_CCH_TEXT];   // the release notes beside it
    char szCopy[PAYLOAD_CCH_TEXT];    // where a copy of either goes
    SetupFile file;
    int step = 1;

    if (!GetProgramPath(szSetup, sizeof szSetup))
        return ReportFailure(hwndOwner, step);

    step = 2;
    if (strcmp(g_szDesktopDir, ".") != 0)
        CreateDirectoryTree(g_szDesktopDir);
    CopyIntoDesktopDir(szSetup, "setup.exe", szCopy, sizeof szCopy);
    const char *pszSetupName = strstr(szSetup, "setup.exe");
    if (pszSetupName != NULL
        && FormatText(szNotes, sizeof szNotes, "%.*s" RELEASE_NOTES_FILE, int(pszSetupName - szSetup), szSetup))
        CopyIntoDesktopDir(szNotes, RELEASE_NOTES_FILE, szCopy, sizeof szCopy);

    if (!file.Open(szSetup))
        return ReportFailure(hwndOwner, step);

    // Steps 3 to 5 find the payload, walk its chain and find its checksums,
    // before anything is written; then each record in turn (PayloadWalker).
    PayloadWalker walk(&file, g_szDesktopDir);
    PayloadResult result;
    while ((result = walk.Next()) == PAYLOAD_RECORD) {
        int nFailed = ExtractRecord(walk, file);
        if (nFailed != 0)
            return ReportFailure(hwndOwner, nFailed);
    }
    const PayloadScan &scan = walk.Scan();
    if (result == PAYLOAD_DAMAGED) {
        if (scan.shortRead == PAYLOAD_SHORT_CHAIN)
            EndBrokenChain(file, scan.dwOffset);
        else if (scan.shortRead == PAYLOAD_BAD_RECORD_COUNT)
            EndMiscountedPayload(scan);
        else
            EndShortRead(scan.shortRead, scan.cbRead, scan.cbWanted);
    }
    if (result != PAYLOAD_COMPLETE) {
        if (result == PAYLOAD_REFUSED)
            SetLastError(scan.dwError);
        return ReportFailure(hwndOwner, scan.nStep);
    }

    SetCurrentDirectoryA(g_szDesktopDir);
    file.Close();
    WriteRegistrationForm();
    return TRUE;
}
