// The device-library check in a program of its own, for the tests. setup.exe
// imports the device libraries, so it never starts without them; this
// program does not, so the check can meet missing libraries. Copied into a
// folder of its own, it carries out its arguments in order:
//   check   CheckDeviceLibraries(); appends "check=R ppcload=L rapi=L" to the
//           report (L: whether that library is loaded in this process now)
//   free    unloads what the check loaded
//   wait    waits until the test signals the event named in SETUP_TEST_EVENT
// SETUP_TEST_REPORT names the report file.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/process.h"
#include "shell/libcheck.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    g_hInst = hInstance;
    // Ready for input: whoever waits for this program to start stops waiting.
    MSG msg;
    PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE);
    char szReport[MAX_PATH] = "", szEvent[MAX_PATH] = "";
    GetEnvironmentVariableA("SETUP_TEST_REPORT", szReport, sizeof szReport);
    GetEnvironmentVariableA("SETUP_TEST_EVENT", szEvent, sizeof szEvent);
    HANDLE hEvent = CreateEventA(NULL, FALSE, FALSE, szEvent);

    for (int i = 1; i < __argc; ++i) {
        const char *pszStep = __argv[i];
        if (strcmp(pszStep, "check") == 0) {
            BOOL fOk = CheckDeviceLibraries();
            FILE *f = fopen(szReport, "ab");
            if (f) {
                fprintf(f, "check=%d ppcload=%d rapi=%d\n", fOk ? 1 : 0, GetModuleHandleA("ppcload") != NULL,
                        GetModuleHandleA("rapi") != NULL);
                fclose(f);
            }
        } else if (strcmp(pszStep, "free") == 0) {
            for (HMODULE &hmod : g_rghmodDeviceLibraries) {
                if (hmod)
                    FreeLibrary(hmod);
                hmod = NULL;
            }
        } else if (strcmp(pszStep, "wait") == 0) {
            WaitForSingleObject(hEvent, 30000);
        }
    }
    return 0;
}
