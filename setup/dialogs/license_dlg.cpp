#include "dialogs/dialogs.h"

#include "base/message.h"
#include "base/process.h"
#include "res/resource.h"

// The agreement is string 8 followed by strings 16 to 30, nothing between them.
static void FillLicenseText(HWND hDlg)
{
    HWND hwndText = GetDlgItem(hDlg, IDC_LICENSE_TEXT);
    char szPiece[4096];
    UINT idString = IDS_LICENSE_HEAD;
    for (;;) {
        LoadProgramString(idString, szPiece, sizeof szPiece);
        SendMessageA(hwndText, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(szPiece));
        if (idString == IDS_LICENSE_LAST)
            break;
        idString = idString == IDS_LICENSE_HEAD ? IDS_LICENSE_FIRST : idString + 1;
    }
}

// Only Yes and No end the dialog: Escape and the close box (IDCANCEL) do nothing.
INT_PTR CALLBACK LicenseDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM)
{
    switch (uMsg) {
    case WM_INITDIALOG:
        CenterDialog(hDlg, g_hwndMain);
        FillLicenseText(hDlg);
        return TRUE;
    case WM_DESTROY:
        // Wine's multi-line edit control keeps memory for the text it holds
        // when it is destroyed (about its size, 6 KB here, on every Install);
        // emptied first, it keeps none. Windows frees it either way.
        SetDlgItemTextA(hDlg, IDC_LICENSE_TEXT, "");
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_YES:
            EndDialog(hDlg, TRUE);
            return TRUE;
        case IDC_NO:
            EndDialog(hDlg, FALSE);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}
