#include "shell/libcheck.h"

#include "base/message.h"
#include "base/process.h"
#include "base/text.h"
#include "res/resource.h"

BOOL g_fLibrariesChecked = TRUE;
HMODULE g_rghmodDeviceLibraries[2];

static const char *const c_rgszDeviceLibraries[2] = {"ppcload", "rapi"};

static void ReportMissingLibrary(const char *pszLibrary)
{
    char szFormat[CCH_MESSAGE_TEXT], szText[CCH_MESSAGE_TEXT];
    LoadProgramString(IDS_ERR_NODLL, szFormat, sizeof szFormat);
    FormatText(szText, sizeof szText, szFormat, pszLibrary);
    ShowMessageText(g_hwndMain, szText, IDS_SETUP_ERROR, MB_OK);
}

BOOL CheckDeviceLibraries()
{
    if (!g_fLibrariesChecked)
        return TRUE;
    for (int i = 0; i < 2; ++i) {
        g_rghmodDeviceLibraries[i] = LoadLibraryA(c_rgszDeviceLibraries[i]);
        if (g_rghmodDeviceLibraries[i] == NULL) {
            ReportMissingLibrary(c_rgszDeviceLibraries[i]);
            return FALSE;
        }
    }
    g_fLibrariesChecked = FALSE;
    return TRUE;
}
