// Runs the device install step the way the install sequence does, for the
// tests in device_step_test.cpp:
//   device_driver DESKTOPDIR BOOKS NAME COMPANY [FAULTED]
// BOOKS is a digit for each row of c_rgBooks (1 = chosen); NAME and COMPANY
// are percent-encoded (device_support.h). The driver lays out DESKTOPDIR as
// the extraction leaves it (payload files, "UserInfo.dat" with the name and
// company), makes it the current directory, shows a main window and calls
// InstallToDevice. With FAULTED, the step runs that many times with the
// device's armed fault, the driver answering each fault message itself, then
// once more with the fault disarmed, all in this one process. Exit code: 11
// when the (last) step returned true, 10 when false, 12 when a faulted one
// returned true or did not show the fault message, 2 on bad arguments or
// set-up; a crash ends it with the exception's code.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "device/device.h"
#include "device_support.h"
#include "base/process.h"
#include "settings/settings.h"

namespace {

int g_cFaultMessages;

// Presses OK on the fault message as soon as it is shown, and counts it.
LRESULT CALLBACK AnswerFaultMessage(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE) {
        HWND hwnd = reinterpret_cast<HWND>(wParam);
        char szClass[16] = "", szText[64] = "";
        GetClassNameA(hwnd, szClass, sizeof szClass);
        GetDlgItemTextA(hwnd, 0xFFFF, szText, sizeof szText);
        if (strcmp(szClass, "#32770") == 0 && strcmp(szText, "Fatal Exception in Setup") == 0) {
            ++g_cFaultMessages;
            PostMessageA(hwnd, WM_COMMAND, IDOK, 0);
        }
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

}  // namespace

int main(int argc, char **argv)
{
    if ((argc != 5 && argc != 6) || strlen(argv[2]) != CBOOKS)
        return 2;
    const int faulted = argc == 6 ? atoi(argv[5]) : 0;
    std::string dir = argv[1];
    CreateDirectoryA(dir.c_str(), NULL);
    if (!device_support::CopyPayload(dir))
        return 2;

    for (int i = 0; i < CBOOKS; ++i)
        *c_rgBooks[i].pfChosen = argv[2][i] == '1';
    CopyText(g_szDesktopDir, sizeof g_szDesktopDir, dir.c_str());
    memset(&g_UserInfo, 0, sizeof g_UserInfo);
    CopyText(g_UserInfo.szName, sizeof g_UserInfo.szName, device_support::DecodeArg(argv[3]).c_str());
    CopyText(g_UserInfo.szCompany, sizeof g_UserInfo.szCompany, device_support::DecodeArg(argv[4]).c_str());
    if (!WriteUserInfo())
        return 2;
    // The step must read the stored record again, not use this one.
    CopyText(g_UserInfo.szName, sizeof g_UserInfo.szName, "stale name");
    CopyText(g_UserInfo.szCompany, sizeof g_UserInfo.szCompany, "stale company");
    if (!SetCurrentDirectoryA(dir.c_str()))
        return 2;

    g_hInst = GetModuleHandleA(NULL);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = g_hInst;
    wc.lpszClassName = "DeviceDriverMain";
    RegisterClassA(&wc);
    g_hwndMain = CreateWindowA("DeviceDriverMain", "Device step driver", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100,
                               100, 400, 300, NULL, NULL, g_hInst, NULL);
    if (!g_hwndMain)
        return 2;

    if (faulted > 0) {
        HHOOK hook = SetWindowsHookExA(WH_CBT, AnswerFaultMessage, NULL, GetCurrentThreadId());
        for (int i = 0; i < faulted; ++i)
            if (InstallToDevice() || g_cFaultMessages != i + 1)
                return 12;
        UnhookWindowsHookEx(hook);
        char szIni[MAX_PATH];
        DWORD cch = GetEnvironmentVariableA("HPC_DEVICE", szIni, MAX_PATH - 12);
        if (cch == 0 || cch >= MAX_PATH - 12)
            return 2;
        lstrcatA(szIni, "\\device.ini");
        WritePrivateProfileStringA("Faults", "FaultIn", NULL, szIni);
    }
    bool fResult = InstallToDevice();

    // Still alive and answering after whatever happened in the step.
    if (!IsWindow(g_hwndMain) || !SendMessageTimeoutA(g_hwndMain, WM_NULL, 0, 0, SMTO_BLOCK, 5000, NULL))
        return 3;
    DestroyWindow(g_hwndMain);
    return fResult ? 11 : 10;
}
