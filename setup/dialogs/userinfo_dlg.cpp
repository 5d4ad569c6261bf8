#include "dialogs/dialogs.h"

#include "base/message.h"
#include "base/process.h"
#include "res/resource.h"
#include "settings/settings.h"

// The edits in record order: name, company, address, city, state, postal
// code, country, phone, fax. The tenth field (the key number) has none.
static const int c_rgidEdits[] = {
    IDC_NAME, IDC_COMPANY, IDC_ADDRESS, IDC_CITY, IDC_STATE, IDC_POSTALCODE, IDC_COUNTRY, IDC_PHONE, IDC_FAX,
};

// These two are in the program, not the string table, as they always were,
// caption included: the released program showed exactly this text, and the
// tests and the robot know the message box by it.
static const char c_szBlankText[] =
    "Either the Name or Fax field is blank.  Please fill these in before continuing.";
static const char c_szBlankCaption[] = "rOSK Install";

static void ShowRecord(HWND hDlg)
{
    for (int i = 0; i < static_cast<int>(sizeof c_rgidEdits / sizeof c_rgidEdits[0]); ++i)
        SetDlgItemTextA(hDlg, c_rgidEdits[i], UserInfoField(&g_UserInfo, i));
}

// Each text is cut to 255 characters and its NUL.
static void ReadBackRecord(HWND hDlg)
{
    for (int i = 0; i < static_cast<int>(sizeof c_rgidEdits / sizeof c_rgidEdits[0]); ++i)
        GetDlgItemTextA(hDlg, c_rgidEdits[i], UserInfoField(&g_UserInfo, i), USERINFO_CCH_FIELD);
}

static BOOL IsBlank(HWND hDlg, int idEdit)
{
    return GetWindowTextLengthA(GetDlgItem(hDlg, idEdit)) == 0;
}

static void OnInitUserInfo(HWND hDlg)
{
    CenterDialog(hDlg, g_hwndMain);
    // The prompt stays only when the stored record cannot be opened.
    LoadProgramString(IDS_DEFAULT_NAME, g_UserInfo.szName, USERINFO_CCH_FIELD);
    ReadUserInfo();
    ShowRecord(hDlg);
}

static INT_PTR OnUserInfoCommand(HWND hDlg, int idControl)
{
    switch (idControl) {
    case IDOK:
        if (IsBlank(hDlg, IDC_NAME) || IsBlank(hDlg, IDC_FAX)) {
            MessageBoxA(hDlg, c_szBlankText, c_szBlankCaption, MB_OK);
            return FALSE;
        }
        ReadBackRecord(hDlg);
        EndDialog(hDlg, TRUE);
        return TRUE;
    case IDCANCEL:
        // Cancel keeps what was typed in the record, unchecked.
        ReadBackRecord(hDlg);
        EndDialog(hDlg, FALSE);
        return TRUE;
    default:
        return FALSE;
    }
}

// The picture control loaded its bitmap from the template. Windows' static
// control deletes such a bitmap with the control, Wine's never does, so every
// Install would leave one behind there. Taking the bitmap out of the control
// hands it to us on both (the control then deletes nothing), and we delete it.
static void FreePicture(HWND hDlg)
{
    for (HWND hwnd = GetWindow(hDlg, GW_CHILD); hwnd != NULL; hwnd = GetWindow(hwnd, GW_HWNDNEXT)) {
        if ((GetWindowLongA(hwnd, GWL_STYLE) & SS_TYPEMASK) != SS_BITMAP)
            continue;
        HGDIOBJ hbm = reinterpret_cast<HGDIOBJ>(SendMessageA(hwnd, STM_SETIMAGE, IMAGE_BITMAP, 0));
        if (hbm != NULL)
            DeleteObject(hbm);
    }
}

INT_PTR CALLBACK UserInfoDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM)
{
    switch (uMsg) {
    case WM_INITDIALOG:
        OnInitUserInfo(hDlg);
        return TRUE;
    case WM_COMMAND:
        return OnUserInfoCommand(hDlg, LOWORD(wParam));
    case WM_DESTROY:
        FreePicture(hDlg);
        return FALSE;
    default:
        return FALSE;
    }
}
