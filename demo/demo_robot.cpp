// The robot of scripts/demo, not a test: runs one whole install with
// setup.exe (beside this program) the way a person would: the Install
// button, Yes to the licence, a filled-in user record, the chosen books, then
// whatever the install shows. Saves a picture of each window on the way and
// tells what it saw. Built with the Wine tests, whose robot it uses.
//
//   demo_robot.exe [--film 0|1] [--news 0|1] [--custom 0|1] [--shots DIR]
//
// Exit code: 0 when the install finished with the closing question.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "dialog_walk.h"
#include "robot.h"
#include "test_support.h"

#include "res/resource.h"   // after <windows.h>

namespace {

std::string g_shots;
int g_shot = 0;

// The main window and whatever stands over it, as on the screen.
void Shoot(HWND main, HWND over, const char *what)
{
    if (g_shots.empty())
        return;
    robot::Drain(main, 3000);
    Sleep(200);   // let the last paint reach the screen
    RECT rc = robot::WindowRect(main);
    if (over) {
        RECT rcOver = robot::WindowRect(over);
        UnionRect(&rc, &rc, &rcOver);
    }
    char name[MAX_PATH];
    snprintf(name, sizeof name, "%s\\%d-%s.bmp", g_shots.c_str(), ++g_shot, what);
    if (robot::CaptureScreen(rc).SaveBmp(name))
        printf("   picture: %d-%s\n", g_shot, what);
}

std::string OneLine(std::string text)
{
    for (char &c : text)
        if (c == '\r' || c == '\n' || c == '\t')
            c = ' ';
    return text;
}

// The books by the names scripts/demo gives them (--film 0 ...), with their check boxes.
const std::pair<const char *, int> kBookNames[] = {
    {"film", IDC_FILMBOOK}, {"news", IDC_NEWSBOOK}, {"custom", IDC_CUSTOMBOOK}};
static_assert(sizeof kBookNames / sizeof kBookNames[0] == CBOOKS, "a name for every book");

}  // namespace

int main(int argc, char **argv)
{
    BookSet books = kAllBooks;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string opt = argv[i], val = argv[i + 1];
        for (const auto &book : kBookNames)
            if (opt == std::string("--") + book.first && val == "0")
                books &= ~Only(book.second);
        if (opt == "--shots")
            g_shots = val;
    }
    setvbuf(stdout, NULL, _IONBF, 0);

    SetCursorPos(0, 0);
    robot::Process app(testing_support::BuildFile("setup.exe"));
    HWND main = app.started() ? robot::WaitForWindow(app.pid(), "tvlSetup", nullptr, 20000) : NULL;
    if (!main) {
        printf("setup.exe did not open its window\n");
        return 1;
    }
    printf("setup.exe: \"%s\"\n", robot::Text(main).c_str());

    // The pointer over the Install button for the picture, then Install by
    // its accelerator, as the install tests do: a click posted to a window
    // that has only just come up was seen to go unanswered.
    robot::MouseMove(main, 410, 90);
    Shoot(main, NULL, "main-window");
    printf("install: Alt+I\n");
    robot::TypeKeys(main, 'I', true);

    dialog_walk::Answers answers;
    answers.fields = {{IDC_NAME, "Ann Lee"}, {IDC_COMPANY, "Lee Ltd"}, {IDC_ADDRESS, "1 Harbour Road"},
                      {IDC_CITY, "Kent"},    {IDC_STATE, "WA"},        {IDC_POSTALCODE, "98032"},
                      {IDC_COUNTRY, "USA"},  {IDC_PHONE, "555-0199"},  {IDC_FAX, "555-0100"}};
    answers.books = books;
    dialog_walk::Walk walk(app.pid(), answers, 20000);
    walk.beforeAnswer = [&](dialog_walk::Dialog dialog, HWND dlg) {
        switch (dialog) {
        case dialog_walk::kLicence:
            Shoot(main, dlg, "licence");
            printf("licence: Yes\n");
            break;
        case dialog_walk::kUserInfo:
            Shoot(main, dlg, "user-information");
            printf("user information: Ann Lee, Lee Ltd, Kent WA 98032 USA; OK\n");
            break;
        case dialog_walk::kOptions: {
            Shoot(main, dlg, "options");
            std::string chosen;
            for (const auto &book : kBookNames)
                chosen += std::string(chosen.empty() ? "" : ", ") + book.first +
                          (books & Only(book.second) ? " yes" : " no");
            printf("options: %s; desktop directory %s; OK\n", chosen.c_str(),
                   robot::ItemText(dlg, IDC_DESKTOPDIR).c_str());
            break;
        }
        }
    };
    walk.Through();
    if (walk.missing()) {
        printf("no \"%s\" dialog appeared\n", walk.missing());
        return 1;
    }

    // What the install shows from here on: its messages, then the closing question.
    bool completed = false;
    robot::AnswerMessageBoxes(
        app.pid(), main,
        [&](const robot::MessageBox &box) {
            std::string what = box.caption;
            for (char &c : what)
                if (!isalnum(static_cast<unsigned char>(c)))
                    c = '-';
            Shoot(main, box.hwnd, what.c_str());
            completed = completed || box.caption == "Setup Completed";
            printf("message \"%s\": %s\n", box.caption.c_str(), OneLine(box.text).c_str());
            printf("   answered %s\n", box.caption == "Setup Completed" ? "No" : "OK");
            return box.caption == "Setup Completed" ? IDNO : IDOK;
        },
        120000);

    printf("exit: Alt+X\n");
    robot::TypeKeys(main, 'X', true);
    DWORD code = 999;
    app.Wait(10000, &code);
    printf("setup.exe ended with exit code %lu\n", code);
    return completed && code == 0 ? 0 : 1;
}
