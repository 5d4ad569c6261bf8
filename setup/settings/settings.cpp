#include "settings/settings.h"

#include <cstdlib>
#include <cstring>

#include "base/text.h"

char g_szDesktopDir[CCH_DESKTOP_DIR];
USERINFO g_UserInfo;

static const char c_szServicesKey[] = "Software\\Microsoft\\Pegasus";
static const char c_szInstalledDir[] = "InstalledDir";

void ComputeDefaultDesktopDir()
{
    CopyText(g_szDesktopDir, sizeof g_szDesktopDir, c_szBuiltInDesktopDir);

    HKEY hKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, c_szServicesKey, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return;

    DWORD cbValue = 0;
    if (RegQueryValueExA(hKey, c_szInstalledDir, NULL, NULL, NULL, &cbValue) == ERROR_SUCCESS
        && cbValue > 0) {
        DWORD cbBlock = cbValue + 5;
        char *pbValue = static_cast<char *>(malloc(cbBlock));
        if (pbValue != NULL) {
            DWORD dwType = 0;
            DWORD cbRead = cbBlock;
            if (RegQueryValueExA(hKey, c_szInstalledDir, NULL, &dwType,
                                 reinterpret_cast<BYTE *>(pbValue), &cbRead) == ERROR_SUCCESS
                && dwType == REG_SZ) {
                // The stored value need not end in a NUL; only cbRead bytes are looked at.
                DesktopDirFromInstalledDir(pbValue, cbRead <= cbBlock ? cbRead : cbBlock,
                                           g_szDesktopDir, sizeof g_szDesktopDir);
            }
            free(pbValue);
        }
    }
    RegCloseKey(hKey);
}

// Opens "UserInfo.dat" in the desktop directory for dwAccess, creating it
// when it is not there.
static HANDLE OpenUserInfoFile(DWORD dwAccess)
{
    char szPath[1024];
    FormatText(szPath, sizeof szPath, "%s\\UserInfo.dat", g_szDesktopDir);
    return CreateFileA(szPath, dwAccess, 0, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
}

void ReadUserInfo()
{
    HANDLE hFile = OpenUserInfoFile(GENERIC_READ);
    if (hFile == INVALID_HANDLE_VALUE)
        return;

    // A short file ends the reading at its end; the rest of the record is zero.
    USERINFO info;
    memset(&info, 0, sizeof info);
    BYTE *pb = reinterpret_cast<BYTE *>(&info);
    DWORD cbTotal = 0;
    while (cbTotal < sizeof info) {
        DWORD cbRead = 0;
        if (!ReadFile(hFile, pb + cbTotal, sizeof info - cbTotal, &cbRead, NULL) || cbRead == 0)
            break;
        cbTotal += cbRead;
    }
    CloseHandle(hFile);

    TerminateUserInfoFields(&info);
    g_UserInfo = info;
}

BOOL WriteUserInfo()
{
    HANDLE hFile = OpenUserInfoFile(GENERIC_WRITE);
    if (hFile == INVALID_HANDLE_VALUE)
        return FALSE;
    DWORD cbWritten = 0;
    BOOL fOk = WriteFile(hFile, &g_UserInfo, sizeof g_UserInfo, &cbWritten, NULL);
    CloseHandle(hFile);
    return fOk && cbWritten == sizeof g_UserInfo;
}
