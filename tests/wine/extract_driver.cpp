// The extraction stage in a program of its own, for the tests: copied into a
// folder (as "setup.exe", say) with a payload appended to its own file, it
// extracts that payload as the install sequence does.
//
//   SETUP_TEST_DESKTOP_DIR   the desktop directory
//   SETUP_TEST_USERINFO      a file holding the user record to store (optional)
//   SETUP_TEST_REPORT        a file that receives "result=N" and "cwd=PATH" (optional)
//
// Exit code: 0 after a whole extraction, 1 after a reported failure; a failed
// consistency check ends the program with its own code.
#include <windows.h>

#include <cstdio>

#include "base/process.h"
#include "extract/extract.h"
#include "settings/settings.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    g_hInst = hInstance;
    // The owner of the messages, standing in for the main window (not shown).
    g_hwndMain = CreateWindowA("STATIC", "Extraction test driver", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, NULL, NULL,
                               hInstance, NULL);
    GetEnvironmentVariableA("SETUP_TEST_DESKTOP_DIR", g_szDesktopDir, sizeof g_szDesktopDir);

    char szPath[MAX_PATH];
    if (GetEnvironmentVariableA("SETUP_TEST_USERINFO", szPath, sizeof szPath)) {
        FILE *f = fopen(szPath, "rb");
        if (f) {
            fread(&g_UserInfo, 1, sizeof g_UserInfo, f);
            fclose(f);
        }
    }

    BOOL fOk = ExtractPayload(g_hwndMain);

    if (GetEnvironmentVariableA("SETUP_TEST_REPORT", szPath, sizeof szPath)) {
        char szCwd[MAX_PATH] = "";
        GetCurrentDirectoryA(sizeof szCwd, szCwd);
        FILE *f = fopen(szPath, "wb");
        if (f) {
            fprintf(f, "result=%d\ncwd=%s\n", fOk ? 1 : 0, szCwd);
            fclose(f);
        }
    }
    return fOk ? 0 : 1;
}
