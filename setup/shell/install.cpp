#include "shell/install.h"

#include "dialogs/dialogs.h"
#include "res/resource.h"
#include "shell/setup.h"

// The dialogs of the sequence, in order; each must end with TRUE.
static BOOL RunDialog(int idDialog, DLGPROC pfnDlgProc)
{
    return DialogBoxParamA(g_hInst, MAKEINTRESOURCEA(idDialog), g_hwndMain, pfnDlgProc, 0) == TRUE;
}

InstallOutcome RunInstallSequence()
{
    if (!RunDialog(IDD_LICENSE, LicenseDlgProc))
        return INSTALL_STOPPED;
    if (!RunDialog(IDD_USERINFO, UserInfoDlgProc))
        return INSTALL_STOPPED;
    if (!RunDialog(IDD_OPTIONS, OptionsDlgProc))
        return INSTALL_STOPPED;
    // The extraction, the device install and the completion question follow here.
    return INSTALL_FINISHED;
}
