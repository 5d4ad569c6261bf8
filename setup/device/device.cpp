#include "device/device.h"

#include <windows.h>

#include "base/message.h"
#include "base/process.h"
#include "base/text_file.h"
#include "device/guard.h"
#include "device/load_script.h"
#include "device/loader.h"
#include "res/resource.h"
#include "settings/settings.h"

#if defined(__i386__)
static_assert(EXCEPTION_UNWINDING == 2 && EXCEPTION_EXIT_UNWIND == 4, "flags used by guard_i686.S");
#endif

void WriteLoadScript()
{
    // A script that cannot be written is not reported here: Load fails on it.
    WriteLoadScriptFile(c_szLoadScriptFile);
}

BOOL WriteLoadScriptFile(const char *pszPath)
{
    TextFile file;
    if (!file.Create(pszPath))
        return FALSE;
    WriteLoadScriptLines(file.Stream(), c_rgBooks);
    return file.Close();
}

namespace {

// What the guarded steps leave for the end step.
struct DeviceStep {
    UINT idsFailure;   // 0 while nothing failed
    BOOL fResult;
};

void StartOnDevice()
{
    WCHAR wszPath[CCH_DEVICE_PROGRAM_PATH];
    WidenAnsi(wszPath, CCH_DEVICE_PROGRAM_PATH, c_szDeviceProgram);
    PROCESS_INFORMATION pi;
    // A failed start is not reported: the application is on the device.
    PegCreateProcess(wszPath, NULL, NULL, NULL, FALSE, 0, NULL, NULL, NULL, &pi);
}

// Everything between opening and closing the connection; runs guarded.
void RunDeviceSteps(void *pv)
{
    DeviceStep *pStep = static_cast<DeviceStep *>(pv);
    if (Load_Init() != 0) {
        pStep->idsFailure = IDS_ERR_NOCONNECT;
        return;
    }
    // Advice only: the install goes on after OK.
    if (Load_AlreadyInstalled(c_szDeviceAppName) == 1)
        ShowStringMessage(g_hwndMain, IDS_ALREADY_INSTALLED, IDS_SUGGESTION, MB_OK);

    WriteLoadScript();

    char szCpu[16] = "";
    if (!Load_PegCpuType(szCpu)) {
        pStep->idsFailure = IDS_ERR_CPUTYPE;
        return;
    }
    szCpu[sizeof szCpu - 1] = '\0';   // the loader need not terminate a 16-character name

    int32_t cbNeeded = NeededDeviceBytes(EstimateDeviceBytes(szCpu));
    if (!DeviceHasRoom(Load_PegFreeSpace(), cbNeeded)) {
        pStep->idsFailure = IDS_ERR_NOSPACE;
        return;
    }

    ReadUserInfo();
    char szCmdLine[CCH_LOAD_COMMAND_LINE];
    FormatLoadCommandLine(szCmdLine, sizeof szCmdLine, szCpu, cbNeeded, g_UserInfo.szName,
                          g_UserInfo.szCompany, USERINFO_CCH_FIELD);
    if (Load(g_hwndMain, szCmdLine) != 0) {
        pStep->idsFailure = IDS_ERR_INCOMPLETE;
        return;
    }

    StartOnDevice();
    pStep->fResult = TRUE;
}

}  // namespace

BOOL InstallToDevice()
{
    DeviceStep step = {0, FALSE};
    if (!GuardedCall(RunDeviceSteps, &step)) {
        // Text and caption as the released program showed them, literals
        // there too: the robot and the tests know this box by them.
        MessageBoxA(g_hwndMain, "Fatal Exception in Setup", "bugbug", MB_OK);
        step.fResult = FALSE;
    }
    if (step.idsFailure != 0)
        ShowStringMessage(g_hwndMain, step.idsFailure, IDS_SETUP_ERROR, MB_OK);
    Load_Exit();
    return step.fResult;
}
