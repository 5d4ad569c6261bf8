#include "dialogs/dialogs.h"

#include <shlobj.h>

#include <cstring>

#include "base/message.h"
#include "base/process.h"
#include "res/resource.h"
#include "settings/settings.h"

// Not in the string table: the message came with the check of the path's
// length, and the string table holds exactly the strings of the released
// program, no more.
static const char c_szTooLong[] =
    "The path of the folder you selected is too long to install into.\r\r"
    "Please select a folder with a shorter path.";

// Item lists from the shell are freed through the shell's allocator.
static void FreeItemList(LPITEMIDLIST pidl)
{
    IMalloc *pMalloc;
    if (SUCCEEDED(SHGetMalloc(&pMalloc))) {
        pMalloc->Free(pidl);
        pMalloc->Release();
    }
}

BOOL BrowseForDesktopDir()
{
    char szTitle[512];
    LoadProgramString(IDS_BROWSE_TITLE, szTitle, sizeof szTitle);
    char szDisplayName[MAX_PATH];

    BROWSEINFOA bi;
    memset(&bi, 0, sizeof bi);
    bi.hwndOwner = g_hwndMain;
    bi.pszDisplayName = szDisplayName;
    bi.lpszTitle = szTitle;
    bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN;
    LPITEMIDLIST pidl = SHBrowseForFolderA(&bi);
    if (pidl == NULL)
        return FALSE;

    char szFolder[MAX_PATH];
    szFolder[0] = '\0';
    BOOL fPath = SHGetPathFromIDListA(pidl, szFolder);
    FreeItemList(pidl);
    // A folder without a file-system path counts as no choice.
    if (!fPath || szFolder[0] == '\0')
        return FALSE;
    if (!PickedFolderSuffixFits(szFolder)) {
        ShowMessageText(g_hwndMain, c_szTooLong, IDS_SETUP_ERROR, MB_OK);
        return FALSE;
    }
    CopyText(g_szDesktopDir, sizeof g_szDesktopDir, szFolder);
    return TRUE;
}

static void OnInitOptions(HWND hDlg)
{
    CenterDialog(hDlg, g_hwndMain);
    // The boxes are set, and read at OK, last book first, as they always were.
    for (int i = CBOOKS; i-- > 0;)
        SendDlgItemMessageA(hDlg, c_rgBooks[i].idCheckBox, BM_SETCHECK, *c_rgBooks[i].pfChosen, 0);
    SetDlgItemTextA(hDlg, IDC_DESKTOPDIR, g_szDesktopDir);
}

static BOOL IsTicked(HWND hDlg, int idCheckBox)
{
    return SendDlgItemMessageA(hDlg, idCheckBox, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// Browse changes the directory at once; Cancel does not undo it.
static void OnBrowse(HWND hDlg)
{
    if (BrowseForDesktopDir()) {
        AppendText(g_szDesktopDir, sizeof g_szDesktopDir, c_szPickedFolderSuffix);
        SetDlgItemTextA(hDlg, IDC_DESKTOPDIR, g_szDesktopDir);
    }
    SetFocus(hDlg);
}

static INT_PTR OnOptionsCommand(HWND hDlg, int idControl)
{
    switch (idControl) {
    case IDOK:
        for (int i = CBOOKS; i-- > 0;)
            *c_rgBooks[i].pfChosen = IsTicked(hDlg, c_rgBooks[i].idCheckBox);
        EndDialog(hDlg, TRUE);
        return TRUE;
    case IDCANCEL:
        EndDialog(hDlg, FALSE);
        return TRUE;
    case IDC_BROWSE:
        OnBrowse(hDlg);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK OptionsDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM)
{
    switch (uMsg) {
    case WM_INITDIALOG:
        OnInitOptions(hDlg);
        return TRUE;
    case WM_COMMAND:
        return OnOptionsCommand(hDlg, LOWORD(wParam));
    default:
        return FALSE;
    }
}
