// The three dialogs of the Install command answered as a user answers them:
// Yes to the licence, the user information filled in and confirmed, the books
// ticked and confirmed. The tests that go through them (install_support.h,
// dialogs_test.cpp) and the demo's robot (demo/demo_robot.cpp) walk them here.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "dist_books.h"
#include "robot.h"

#include "res/resource.h"   // after <windows.h>

namespace dialog_walk {

enum Dialog { kLicence, kUserInfo, kOptions };
inline const char *const kTitles[] = {"Software License Agreement", "User Information", "Setup Options"};

// The options dialog's check boxes: ticked as books says; which are ticked.
inline void TickBooks(HWND dlg, BookSet books)
{
    for (int i = 0; i < CBOOKS; ++i)
        robot::SetChecked(dlg, c_rgBooks[i].idCheckBox, Takes(books, i));
}
inline BookSet TickedBooks(HWND dlg)
{
    BookSet books = 0;
    for (int i = 0; i < CBOOKS; ++i)
        books |= robot::IsChecked(dlg, c_rgBooks[i].idCheckBox) ? 1u << i : 0;
    return books;
}

struct Answers {
    std::vector<std::pair<int, std::string>> fields = {
        {IDC_NAME, "Ann Lee"}, {IDC_COMPANY, "Lee Ltd"}, {IDC_FAX, "555-0100"}};
    BookSet books = kAllBooks;
};

// One walk through the dialogs of the program pid, from the licence on (the
// Install command is given by the caller).
class Walk {
public:
    explicit Walk(DWORD pid, Answers answers = Answers(), DWORD ms = 10000)
        : pid_(pid), answers_(std::move(answers)), ms_(ms)
    {
    }

    // Called with each dialog once it is filled in, just before it is answered.
    std::function<void(Dialog, HWND)> beforeAnswer;

    // Waits for each dialog in turn and answers it, up to stop, which is
    // returned as it opened. NULL when a dialog did not open: missing() names it.
    HWND To(Dialog stop)
    {
        for (int d = kLicence;; ++d) {
            HWND dlg = robot::WaitForDialog(pid_, kTitles[d], ms_);
            if (!dlg) {
                missing_ = kTitles[d];
                return NULL;
            }
            if (d == stop)
                return dlg;
            Answer(Dialog(d), dlg);
        }
    }

    // All three answered: true once the options dialog has gone.
    bool Through()
    {
        HWND options = To(kOptions);
        if (!options)
            return false;
        Answer(kOptions, options);
        return robot::WaitGone(options);
    }

    // The title of the dialog that did not open, or NULL.
    const char *missing() const { return missing_; }

private:
    void Answer(Dialog d, HWND dlg)
    {
        if (d == kUserInfo)
            for (const auto &field : answers_.fields)
                robot::SetItemText(dlg, field.first, field.second);
        if (d == kOptions)
            TickBooks(dlg, answers_.books);
        if (beforeAnswer)
            beforeAnswer(d, dlg);
        robot::Press(dlg, d == kLicence ? IDC_YES : IDOK);
    }

    DWORD pid_;
    Answers answers_;
    DWORD ms_;
    const char *missing_ = NULL;
};

}  // namespace dialog_walk
