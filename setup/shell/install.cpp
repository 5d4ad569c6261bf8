#include "shell/install.h"

#include "base/message.h"
#include "base/process.h"
#include "device/device.h"
#include "dialogs/dialogs.h"
#include "extract/extract.h"
#include "res/resource.h"
#include "shell/libcheck.h"

// The dialogs of the sequence, in order; each must end with TRUE.
static BOOL RunDialog(int idDialog, DLGPROC pfnDlgProc)
{
    return DialogBoxParamA(g_hInst, MAKEINTRESOURCEA(idDialog), g_hwndMain, pfnDlgProc, 0) == TRUE;
}

// The closing question: Yes opens the release notes.
static InstallOutcome AskForReleaseNotes()
{
    return ShowStringMessage(g_hwndMain, IDS_INSTALLED, IDS_SETUP_COMPLETED, MB_YESNO) == IDYES
               ? INSTALL_FINISHED_NOTES
               : INSTALL_FINISHED;
}

InstallOutcome RunInstallSequence()
{
    if (!CheckDeviceLibraries())
        return INSTALL_STOPPED;
    if (!RunDialog(IDD_LICENSE, LicenseDlgProc))
        return INSTALL_STOPPED;
    if (!RunDialog(IDD_USERINFO, UserInfoDlgProc))
        return INSTALL_STOPPED;
    if (!RunDialog(IDD_OPTIONS, OptionsDlgProc))
        return INSTALL_STOPPED;
    if (!ExtractPayload(g_hwndMain))
        return INSTALL_STOPPED;
    if (!InstallToDevice())
        return INSTALL_STOPPED;
    return AskForReleaseNotes();
}
