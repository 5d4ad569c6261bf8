// rapi.dll of the emulated handheld PC: starting a program on the device.
// A start succeeds only for a program file in the object store; every
// attempt goes into the device log.
#include <windows.h>

#include <string>

#include "device.h"
#include "device/loader.h"

using namespace hpc;

extern "C" BOOL WINAPI DllMain(HINSTANCE hinst, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        g_hModule = hinst;
    return TRUE;
}

extern "C" BOOL WINAPI PegCreateProcess(LPCWSTR app, LPCWSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL,
                                        DWORD, LPVOID, LPWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION pi)
{
    FaultIfArmed("PegCreateProcess");
    static DWORD s_id = 0x100;
    std::string path;
    if (app) {
        char sz[1024];
        int cb = WideCharToMultiByte(CP_ACP, 0, app, -1, sz, sizeof sz, NULL, NULL);
        path.assign(sz, cb > 0 ? cb - 1 : 0);
    }
    std::string file;
    bool fOk = Attached() && StorePath(path, &file) && FileExists(file);
    Log("PegCreateProcess " + Quote(path) + (fOk ? " = 1 started" : " = 0"));
    if (!fOk) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (pi) {
        pi->hProcess = NULL;
        pi->hThread = NULL;
        pi->dwProcessId = ++s_id;
        pi->dwThreadId = ++s_id;
    }
    return TRUE;
}
