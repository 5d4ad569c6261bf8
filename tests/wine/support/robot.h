// Drives another process's windows from a test: starts the program, finds
// its top-level windows and dialogs, reads what they show and presses their
// buttons. Everything goes through window messages, so it works without a
// window manager and without the keyboard focus.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace robot {

// A started program; killed when the object goes away unless it has ended.
class Process {
public:
    struct Options {
        std::string args;                                      // command line after the program
        std::string cwd;                                       // empty: the test's own
        std::vector<std::pair<std::string, std::string>> env;  // added to (or replacing in) the test's environment
        int show = SW_SHOWNORMAL;                              // the start-up show mode
    };
    Process() = default;
    Process(const std::string &exe, const Options &options);
    explicit Process(const std::string &exe) : Process(exe, Options()) {}
    ~Process();
    Process(Process &&other) noexcept;
    Process &operator=(Process &&other) noexcept;
    Process(const Process &) = delete;
    Process &operator=(const Process &) = delete;

    bool started() const { return handle_ != NULL; }
    DWORD pid() const { return pid_; }
    HANDLE handle() const { return handle_; }
    bool Running() const;
    // Waits for the end; false on time-out. The exit code goes to *code.
    bool Wait(DWORD ms, DWORD *code = nullptr);
    void Kill();

private:
    HANDLE handle_ = NULL;
    DWORD pid_ = 0;
};

// Polls until cond() is true or ms have passed; pumps this thread's messages.
template <class F> bool WaitUntil(F cond, DWORD ms = 10000)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (cond())
            return true;
        if (GetTickCount() - start > ms)
            return false;
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        Sleep(10);
    }
}

std::string Text(HWND hwnd);
std::string ClassOf(HWND hwnd);
std::string ItemText(HWND dialog, int id);
RECT WindowRect(HWND hwnd);   // screen coordinates, frame included

// Visible top-level windows of a process, in z-order.
std::vector<HWND> TopLevelWindows(DWORD pid);
// A visible top-level window of the process with that class and/or title
// (null: any), or NULL after ms.
HWND WaitForWindow(DWORD pid, const char *cls, const char *title, DWORD ms = 10000);
// A dialog (class #32770) of the process with that title.
HWND WaitForDialog(DWORD pid, const char *title, DWORD ms = 10000);
// Waits until the window is gone (destroyed or hidden).
bool WaitGone(HWND hwnd, DWORD ms = 10000);

// A message box as the user sees it.
struct MessageBox {
    HWND hwnd = NULL;
    HWND owner = NULL;
    std::string caption;
    std::string text;
    std::vector<std::pair<int, std::string>> buttons;   // id, label
    bool hasIcon = false;
};
bool IsMessageBox(HWND hwnd);
// The next message box of the process (optionally with that caption).
bool WaitForMessageBox(DWORD pid, MessageBox *box, DWORD ms = 10000, const char *caption = nullptr);
// Presses a button of a dialog or message box (posted, so a modal loop that
// the press opens does not block the test).
void Press(HWND dialog, int id);
void SetItemText(HWND dialog, int id, const std::string &text);
bool IsChecked(HWND dialog, int id);
void SetChecked(HWND dialog, int id, bool checked);
// Sends a command to a window as a menu or accelerator would (posted).
void Command(HWND hwnd, int id);

}  // namespace robot
