// The three dialogs of the Install command, driven from outside: where they
// open, the licence text and answers, the user-information checks and what
// Cancel keeps, the options' check boxes, tab order and folder picker.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>
#include <string>

#include "dialog_walk.h"
#include "dialogs/placement.h"
#include "ui_support.h"

using namespace testing_support;
using namespace ui;

namespace {

using dialog_walk::kLicence;
using dialog_walk::kOptions;
using dialog_walk::kUserInfo;
const char *const kLicenceTitle = dialog_walk::kTitles[kLicence];
const char *const kUserInfoTitle = dialog_walk::kTitles[kUserInfo];
const char *const kOptionsTitle = dialog_walk::kTitles[kOptions];

const int kEdits[] = {IDC_NAME, IDC_COMPANY, IDC_ADDRESS, IDC_CITY, IDC_STATE,
                      IDC_POSTALCODE, IDC_COUNTRY, IDC_PHONE, IDC_FAX};

class Dialogs : public SetupApp {
protected:
    // The Install command, and the dialogs before this one answered: the
    // dialog as it opened.
    HWND Open(dialog_walk::Dialog stop)
    {
        robot::Command(main_, IDM_INSTALL);
        dialog_walk::Answers answers;
        answers.fields = {{IDC_NAME, "Ann Lee"}, {IDC_FAX, "555-0100"}};
        dialog_walk::Walk walk(app_.pid(), answers);
        HWND dlg = walk.To(stop);
        EXPECT_NE(dlg, (HWND)NULL) << "no \"" << walk.missing() << "\" dialog";
        return dlg;
    }
    HWND OpenLicence() { return Open(kLicence); }
    HWND OpenUserInfo() { return Open(kUserInfo); }
    HWND OpenOptions() { return Open(kOptions); }
    // The Install command has ended: its dialog is gone, nothing else came up
    // and the main window takes input again.
    bool BackToMain(HWND dlg)
    {
        return robot::WaitGone(dlg) && robot::Drain(main_) && OtherWindows().empty() && IsWindowEnabled(main_);
    }
    // Where CenterDialog puts it over the main window.
    void ExpectCentred(HWND dlg)
    {
        RECT rc = robot::WindowRect(dlg), over = robot::WindowRect(main_);
        EXPECT_EQ(rc.left, CenteredOrigin(rc.right - rc.left, over.left, over.right - over.left,
                                          GetSystemMetrics(SM_CXSCREEN)))
            << robot::Text(dlg);
        EXPECT_EQ(rc.top, CenteredOrigin(rc.bottom - rc.top, over.top, over.bottom - over.top,
                                         GetSystemMetrics(SM_CYSCREEN)))
            << robot::Text(dlg);
    }
    void MoveMain(int x, int y)
    {
        SetWindowPos(main_, NULL, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        ASSERT_TRUE(robot::Drain(main_));
    }
};

// ---- Placement ----

TEST_F(Dialogs, EachOpensCentredOverTheMainWindowOwnedByItWithFocusOnItsFirstTabStop)
{
    Start();
    HWND licence = OpenLicence();
    ASSERT_TRUE(licence);
    ExpectCentred(licence);
    EXPECT_EQ(GetWindow(licence, GW_OWNER), main_);
    EXPECT_FALSE(IsWindowEnabled(main_));
    EXPECT_EQ(robot::FocusOf(licence), GetDlgItem(licence, IDC_YES));
    robot::Press(licence, IDC_YES);

    HWND userInfo = robot::WaitForDialog(app_.pid(), kUserInfoTitle);
    ASSERT_TRUE(userInfo);
    ExpectCentred(userInfo);
    EXPECT_EQ(GetWindow(userInfo, GW_OWNER), main_);
    EXPECT_EQ(robot::FocusOf(userInfo), GetDlgItem(userInfo, IDC_NAME));
    robot::SetItemText(userInfo, IDC_FAX, "1");
    robot::Press(userInfo, IDOK);

    HWND options = robot::WaitForDialog(app_.pid(), kOptionsTitle);
    ASSERT_TRUE(options);
    ExpectCentred(options);
    EXPECT_EQ(GetWindow(options, GW_OWNER), main_);
    EXPECT_EQ(robot::FocusOf(options), GetDlgItem(options, IDOK));
    robot::Press(options, IDCANCEL);
    EXPECT_TRUE(BackToMain(options));
}

TEST_F(Dialogs, StayOnTheScreenWhenTheMainWindowIsPartlyOffIt)
{
    Start();
    int cxScreen = GetSystemMetrics(SM_CXSCREEN), cyScreen = GetSystemMetrics(SM_CYSCREEN);
    MoveMain(-500, -400);
    HWND licence = OpenLicence();
    ASSERT_TRUE(licence);
    RECT rc = robot::WindowRect(licence);
    EXPECT_EQ(rc.left, 0);
    EXPECT_EQ(rc.top, 0);
    robot::Press(licence, IDC_NO);
    ASSERT_TRUE(BackToMain(licence));

    MoveMain(cxScreen - 150, cyScreen - 100);
    licence = OpenLicence();
    ASSERT_TRUE(licence);
    rc = robot::WindowRect(licence);
    EXPECT_EQ(rc.right, cxScreen);
    EXPECT_EQ(rc.bottom, cyScreen);
    robot::Press(licence, IDC_NO);
    ASSERT_TRUE(BackToMain(licence));

    // Sticking out a little on the left and at the bottom, but the dialog
    // still fits when centred: centred.
    int w = rc.right - rc.left, h = rc.bottom - rc.top;
    MoveMain(-(MAIN_WIDTH - w) / 4, cyScreen - MAIN_HEIGHT + (MAIN_HEIGHT - h) / 4);
    RECT over = robot::WindowRect(main_);
    ASSERT_LT(over.left, 0);
    ASSERT_GT(over.bottom, cyScreen);
    licence = OpenLicence();
    ASSERT_TRUE(licence);
    rc = robot::WindowRect(licence);
    EXPECT_EQ(rc.left, over.left + (MAIN_WIDTH - w) / 2);
    EXPECT_EQ(rc.top, over.top + (MAIN_HEIGHT - h) / 2);
    robot::Press(licence, IDC_NO);
    ASSERT_TRUE(BackToMain(licence));
}

// ---- Licence ----

TEST_F(Dialogs, LicenceShowsTheWholeAgreementOnceEveryTime)
{
    std::string agreement = String(IDS_LICENSE_HEAD);
    for (UINT id = IDS_LICENSE_FIRST; id <= IDS_LICENSE_LAST; ++id)
        agreement += String(id);
    ASSERT_EQ(agreement.size(), 6143u);

    Start();
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        HWND licence = OpenLicence();
        ASSERT_TRUE(licence);
        EXPECT_EQ(robot::ItemText(licence, IDC_LICENSE_TEXT), agreement);
        robot::Press(licence, IDC_NO);
        ASSERT_TRUE(BackToMain(licence));
    }
}

TEST_F(Dialogs, LicenceEndsOnlyWithYesOrNo)
{
    Start();
    HWND licence = OpenLicence();
    ASSERT_TRUE(licence);
    // Escape, the close box, and the standard button commands: still open.
    robot::PostKey(robot::FocusOf(licence), VK_ESCAPE);
    robot::CloseBox(licence);
    robot::Press(licence, IDCANCEL);
    robot::Press(licence, IDOK);
    ASSERT_TRUE(robot::Drain(licence));
    EXPECT_TRUE(IsWindowVisible(licence));
    EXPECT_EQ(OtherWindows().size(), 1u);

    // No: the Install ends there, silently.
    robot::Press(licence, IDC_NO);
    EXPECT_TRUE(BackToMain(licence));
    EXPECT_TRUE(app_.Running());

    // Yes goes on to the user information.
    licence = OpenLicence();
    ASSERT_TRUE(licence);
    robot::Press(licence, IDC_YES);
    EXPECT_NE(robot::WaitForDialog(app_.pid(), kUserInfoTitle), (HWND)NULL);
}

TEST_F(Dialogs, LicenceMnemonicsAnswerNoAndYes)
{
    Start();
    HWND licence = OpenLicence();
    ASSERT_TRUE(licence);
    ASSERT_TRUE(robot::TypeKeys(licence, 'N', true));
    EXPECT_TRUE(BackToMain(licence));
    licence = OpenLicence();
    ASSERT_TRUE(licence);
    ASSERT_TRUE(robot::TypeKeys(licence, 'Y', true));
    EXPECT_NE(robot::WaitForDialog(app_.pid(), kUserInfoTitle), (HWND)NULL);
}

// ---- User information ----

TEST_F(Dialogs, UserInfoOnAFirstRunPromptsForTheNameWithTheRestEmpty)
{
    Start();
    HWND dlg = OpenUserInfo();
    ASSERT_TRUE(dlg);
    EXPECT_EQ(robot::ItemText(dlg, IDC_NAME), "Please enter your name here.");
    for (int id : kEdits)
        if (id != IDC_NAME)
            EXPECT_EQ(robot::ItemText(dlg, id), "") << id;
    // The prompt is selected, so typing replaces it.
    DWORD sel = DWORD(SendMessageA(GetDlgItem(dlg, IDC_NAME), EM_GETSEL, 0, 0));
    EXPECT_EQ(LOWORD(sel), 0);
    EXPECT_EQ(HIWORD(sel), strlen("Please enter your name here."));
    EXPECT_FALSE(DirExists(desktopDir_)) << "nothing is created on the way";
}

TEST_F(Dialogs, UserInfoInsistsOnANameAndAFax)
{
    Start();
    HWND dlg = OpenUserInfo();
    ASSERT_TRUE(dlg);
    struct Case {
        const char *name, *fax;
    } cases[] = {{"", "555-0100"}, {"Ann Lee", ""}, {"", ""}};
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.name) + "/" + c.fax);
        robot::SetItemText(dlg, IDC_NAME, c.name);
        robot::SetItemText(dlg, IDC_COMPANY, "Lee & Co");
        robot::SetItemText(dlg, IDC_FAX, c.fax);
        robot::Press(dlg, IDOK);
        // (The caption picks the box out: the dialog has labels with the
        // message text's id too.)
        robot::MessageBox box;
        ASSERT_TRUE(robot::WaitForMessageBox(app_.pid(), &box, 10000, "rOSK Install"));
        EXPECT_EQ(box.text, "Either the Name or Fax field is blank.  Please fill these in before continuing.");
        EXPECT_EQ(box.owner, dlg);
        ASSERT_EQ(box.buttons.size(), 1u);
        EXPECT_EQ(box.buttons[0].first, IDOK);
        EXPECT_FALSE(box.hasIcon);
        robot::Press(box.hwnd, IDOK);
        ASSERT_TRUE(robot::WaitGone(box.hwnd));
        ASSERT_TRUE(robot::Drain(dlg));
        EXPECT_TRUE(IsWindowVisible(dlg));
        EXPECT_EQ(robot::ItemText(dlg, IDC_NAME), c.name);
        EXPECT_EQ(robot::ItemText(dlg, IDC_COMPANY), "Lee & Co");
    }
    // A blank-only name is not empty; every other field may stay empty.
    robot::SetItemText(dlg, IDC_NAME, " ");
    robot::SetItemText(dlg, IDC_COMPANY, "");
    robot::SetItemText(dlg, IDC_FAX, "555-0100");
    robot::Press(dlg, IDOK);
    EXPECT_NE(robot::WaitForDialog(app_.pid(), kOptionsTitle), (HWND)NULL);
    EXPECT_FALSE(IsWindow(dlg) && IsWindowVisible(dlg));
}

TEST_F(Dialogs, UserInfoCancelEscapeAndCloseBoxKeepTheTypedTexts)
{
    Start();
    std::string longCity(300, 'c');
    for (int way = 0; way < 3; ++way) {
        SCOPED_TRACE(way);
        HWND dlg = OpenUserInfo();
        ASSERT_TRUE(dlg);
        std::string company = "Company " + std::to_string(way);
        robot::SetItemText(dlg, IDC_NAME, "");
        robot::SetItemText(dlg, IDC_COMPANY, company);
        robot::SetItemText(dlg, IDC_ADDRESS, "1 Main St\r\nSuite 2");
        robot::SetItemText(dlg, IDC_CITY, longCity);
        robot::SetItemText(dlg, IDC_FAX, "");
        if (way == 0)
            robot::Press(dlg, IDCANCEL);
        else if (way == 1)
            robot::PostKey(robot::FocusOf(dlg), VK_ESCAPE);
        else
            robot::CloseBox(dlg);
        // No blank-field message, no options dialog: the Install has ended.
        ASSERT_TRUE(BackToMain(dlg));

        // The desktop directory does not exist, so the next opening shows
        // the prompt and the texts kept from this one, each cut to 255.
        dlg = OpenUserInfo();
        ASSERT_TRUE(dlg);
        EXPECT_EQ(robot::ItemText(dlg, IDC_NAME), "Please enter your name here.");
        EXPECT_EQ(robot::ItemText(dlg, IDC_COMPANY), company);
        EXPECT_EQ(robot::ItemText(dlg, IDC_ADDRESS), "1 Main St\r\nSuite 2");
        EXPECT_EQ(robot::ItemText(dlg, IDC_CITY), longCity.substr(0, 255));
        robot::Press(dlg, IDCANCEL);
        ASSERT_TRUE(BackToMain(dlg));
    }
}

TEST_F(Dialogs, UserInfoShowsTheRecordStoredInTheDesktopDirectory)
{
    ASSERT_TRUE(SHCreateDirectoryExA(NULL, desktopDir_.c_str(), NULL) == ERROR_SUCCESS);
    std::string record(2564, '\0');
    const char *texts[] = {"Bo Chen", "Chen Ltd", "9 Elm Rd\r\nFlat 3", "Springfield", "IL",
                           "62701",   "USA",      "555-0111",          "555-0112"};
    for (int i = 0; i < 9; ++i)
        memcpy(&record[4 + 256 * i], texts[i], strlen(texts[i]));
    WriteText(desktopDir_ + "\\UserInfo.dat", record);

    Start();
    HWND dlg = OpenUserInfo();
    ASSERT_TRUE(dlg);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(robot::ItemText(dlg, kEdits[i]), texts[i]) << kEdits[i];
    robot::Press(dlg, IDCANCEL);
    ASSERT_TRUE(BackToMain(dlg));
    EXPECT_EQ(ReadText(desktopDir_ + "\\UserInfo.dat"), record) << "the dialog never writes the file";
}

// ---- Options ----

TEST_F(Dialogs, OptionsMirrorTheComponentFlagsAndCancelKeepsThem)
{
    Start();
    HWND dlg = OpenOptions();
    ASSERT_TRUE(dlg);
    EXPECT_EQ(dialog_walk::TickedBooks(dlg), kAllBooks) << "every book at first";
    EXPECT_EQ(robot::ItemText(dlg, IDC_DESKTOPDIR), desktopDir_);

    const BookSet steps[] = {kAllBooks & ~Only(IDC_FILMBOOK), Only(IDC_FILMBOOK), 0, kAllBooks & ~Only(IDC_CUSTOMBOOK)};
    BookSet stored = kAllBooks;
    for (BookSet b : steps) {
        SCOPED_TRACE("books " + std::to_string(b));
        // Changed, then cancelled: the next opening shows the stored flags.
        dialog_walk::TickBooks(dlg, b);
        robot::Press(dlg, IDCANCEL);
        ASSERT_TRUE(BackToMain(dlg));
        dlg = OpenOptions();
        ASSERT_TRUE(dlg);
        EXPECT_EQ(dialog_walk::TickedBooks(dlg), stored);
        // Changed, then OK: stored (the install goes on and stops at the device).
        dialog_walk::TickBooks(dlg, b);
        robot::Press(dlg, IDOK);
        ASSERT_TRUE(robot::WaitGone(dlg));
        ASSERT_TRUE(DismissRestOfInstall());
        stored = b;
        dlg = OpenOptions();
        ASSERT_TRUE(dlg);
        EXPECT_EQ(dialog_walk::TickedBooks(dlg), stored);
    }
}

TEST_F(Dialogs, OptionsTabOrderIsTheTemplateOrder)
{
    Start();
    HWND dlg = OpenOptions();
    ASSERT_TRUE(dlg);
    const int order[] = {IDOK, IDCANCEL, IDC_NEWSBOOK, IDC_CUSTOMBOOK, IDC_FILMBOOK, IDC_BROWSE, IDOK};
    HWND at = GetDlgItem(dlg, IDOK);
    for (size_t i = 1; i < sizeof order / sizeof order[0]; ++i) {
        at = GetNextDlgTabItem(dlg, at, FALSE);
        EXPECT_EQ(GetDlgCtrlID(at), order[i]) << "stop " << i;
    }
    // And as the keyboard goes: Tab from OK reaches Cancel.
    robot::PostKey(robot::FocusOf(dlg), VK_TAB);
    ASSERT_TRUE(robot::Drain(dlg));
    EXPECT_EQ(robot::FocusOf(dlg), GetDlgItem(dlg, IDCANCEL));
}

class Browse : public Dialogs {
protected:
    HWND OpenPicker(HWND options)
    {
        robot::Press(options, IDC_BROWSE);
        HWND picker = WaitForNewDialog({options});
        EXPECT_NE(picker, (HWND)NULL) << "no folder picker";
        if (!picker)
            return NULL;
        // The tree fills itself after the picker shows; select only then.
        HWND tree = FindWindowExA(picker, NULL, "SysTreeView32", NULL);
        robot::WaitUntil([&] { return SendMessageA(tree, TVM_GETCOUNT, 0, 0) > 0; });
        return picker;
    }
    // Selects a folder in the picker. A selection that comes too early is
    // lost, so it is sent again until the tree's selected item has moved.
    static bool Select(HWND picker, const std::string &folder)
    {
        HWND tree = FindWindowExA(picker, NULL, "SysTreeView32", NULL);
        LRESULT before = SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
        return robot::WaitUntil([&] {
            robot::SendWithText(picker, BFFM_SETSELECTIONA, TRUE, folder);
            robot::Drain(picker);
            LRESULT now = SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
            return now != 0 && now != before;
        });
    }
    void Choose(HWND options, const std::string &folder)
    {
        HWND picker = OpenPicker(options);
        ASSERT_TRUE(picker);
        ASSERT_TRUE(Select(picker, folder)) << folder;
        robot::Press(picker, IDOK);
        ASSERT_TRUE(robot::WaitGone(picker));
        ASSERT_TRUE(robot::Drain(options));
    }
    static bool HasText(HWND window, const std::string &text)
    {
        for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
            if (robot::Text(c) == text)
                return true;
        return false;
    }
};

TEST_F(Browse, CancelledPickerChangesNothing)
{
    Start();
    HWND dlg = OpenOptions();
    ASSERT_TRUE(dlg);
    HWND picker = OpenPicker(dlg);
    ASSERT_TRUE(picker);
    EXPECT_EQ(GetWindow(picker, GW_OWNER), main_) << "owned by the main window, not the dialog";
    EXPECT_TRUE(HasText(picker, "Select the folder that you wish to have TARVELO\\qARNEL installed under:"));
    robot::Press(picker, IDCANCEL);
    ASSERT_TRUE(robot::WaitGone(picker));
    ASSERT_TRUE(robot::Drain(dlg));
    EXPECT_TRUE(IsWindowVisible(dlg));
    EXPECT_EQ(robot::ItemText(dlg, IDC_DESKTOPDIR), desktopDir_);
    EXPECT_EQ(GetParent(robot::FocusOf(dlg)), dlg) << "the focus is back in the dialog";
    EXPECT_TRUE(OtherWindows().size() == 1u) << "no message";
}

TEST_F(Browse, ChosenFolderGetsTheSuffixAtOnceAndKeepsItAfterCancel)
{
    TempDir chosen;
    std::string data = chosen / "Data";
    ASSERT_TRUE(CreateDirectoryA(data.c_str(), NULL));
    Start();
    HWND dlg = OpenOptions();
    ASSERT_TRUE(dlg);
    Choose(dlg, data);
    EXPECT_EQ(robot::ItemText(dlg, IDC_DESKTOPDIR), data + "\\tarvelo\\qARNEL");
    // A drive's root already ends in a backslash: two in a row.
    Choose(dlg, "C:\\");
    EXPECT_EQ(robot::ItemText(dlg, IDC_DESKTOPDIR), "C:\\\\tarvelo\\qARNEL");
    // A folder that already ends in the suffix gets it again; the last choice counts.
    std::string earlier = data + "\\tarvelo\\qARNEL";
    ASSERT_EQ(SHCreateDirectoryExA(NULL, earlier.c_str(), NULL), ERROR_SUCCESS);
    Choose(dlg, earlier);
    std::string dir = earlier + "\\tarvelo\\qARNEL";
    EXPECT_EQ(robot::ItemText(dlg, IDC_DESKTOPDIR), dir);

    robot::Press(dlg, IDCANCEL);
    ASSERT_TRUE(BackToMain(dlg));
    // The next Install reads the user record from there and shows it there.
    ASSERT_EQ(SHCreateDirectoryExA(NULL, dir.c_str(), NULL), ERROR_SUCCESS);
    std::string record(2564, '\0');
    memcpy(&record[4], "From The Chosen Folder", 22);
    WriteText(dir + "\\UserInfo.dat", record);
    HWND userInfo = OpenUserInfo();
    ASSERT_TRUE(userInfo);
    EXPECT_EQ(robot::ItemText(userInfo, IDC_NAME), "From The Chosen Folder");
    robot::SetItemText(userInfo, IDC_FAX, "1");
    robot::Press(userInfo, IDOK);
    dlg = robot::WaitForDialog(app_.pid(), kOptionsTitle);
    ASSERT_TRUE(dlg);
    EXPECT_EQ(robot::ItemText(dlg, IDC_DESKTOPDIR), dir);
}

TEST_F(Browse, FolderTooLongForTheSuffixIsRefusedAndTheDirectoryKept)
{
    // Folders of 244 and 245 characters: the suffix fits behind the first only.
    TempDir base;
    std::string fits = base.path() + "\\";
    fits += std::string(244 - fits.size(), 'f');
    std::string tooLong = fits + "g";
    ASSERT_TRUE(CreateDirectoryA(fits.c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryA(tooLong.c_str(), NULL));
    ASSERT_EQ(fits.size(), 244u);

    Start();
    HWND dlg = OpenOptions();
    ASSERT_TRUE(dlg);
    HWND picker = OpenPicker(dlg);
    ASSERT_TRUE(picker);
    ASSERT_TRUE(Select(picker, tooLong));
    robot::Press(picker, IDOK);
    robot::MessageBox box;
    ASSERT_TRUE(robot::WaitForMessageBox(app_.pid(), &box, 10000, "Setup Error"));
    EXPECT_NE(box.text.find("too long"), std::string::npos) << box.text;
    EXPECT_EQ(box.owner, main_);
    ASSERT_EQ(box.buttons.size(), 1u);
    robot::Press(box.hwnd, IDOK);
    ASSERT_TRUE(robot::WaitGone(box.hwnd));
    ASSERT_TRUE(robot::Drain(dlg));
    EXPECT_EQ(robot::ItemText(dlg, IDC_DESKTOPDIR), desktopDir_);

    Choose(dlg, fits);
    std::string dir = robot::ItemText(dlg, IDC_DESKTOPDIR);
    EXPECT_EQ(dir, fits + "\\tarvelo\\qARNEL");
    EXPECT_EQ(dir.size(), 259u);
}

}  // namespace
