// Drives another process's windows from a test: starts the program, finds
// its top-level windows and dialogs, reads what they show and presses their
// buttons. Everything goes through window messages, so it works without a
// window manager and without the keyboard focus.
#pragma once

#include <windows.h>

#include <algorithm>
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
        bool waitForInputIdle = true;                          // return once it waits for input (5 s at most)
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

// ---- Pointer, keys and message order ----

// Posted pointer messages at client coordinates, as the pointer would send them.
void MouseMove(HWND hwnd, int x, int y);
void MouseDown(HWND hwnd, int x, int y);   // left button down, then up
// Waits until every message posted to the window so far, and every message
// that those posted in turn, has been handled by its thread (also inside a
// modal loop of that thread). False when the thread does not get there.
bool Drain(HWND hwnd, DWORD ms = 10000);
// Posted key press (down and up) to a window, e.g. a dialog's control: what
// the dialog manager turns into commands (Escape, Enter, Tab). Not for
// accelerators, which check the real state of the modifier keys.
void PostKey(HWND hwnd, UINT vk);
// A key with modifiers as the user types it: the window is brought to the
// foreground and the keys go through the system's input queue. `repeats`
// extra key-down events stand for a held key. False when the window could not
// be made the foreground window.
bool TypeKeys(HWND hwnd, UINT vk, bool alt, bool ctrl = false, bool shift = false, int repeats = 0);
// The caption's close box (posted WM_SYSCOMMAND SC_CLOSE).
void CloseBox(HWND hwnd);
// The window with the keyboard focus in the window's thread, or NULL.
HWND FocusOf(HWND hwnd);
// Sends a message whose lParam points to text, the text copied into the
// window's process first (for messages that the system does not marshal).
LRESULT SendWithText(HWND hwnd, UINT msg, WPARAM wParam, const std::string &text);
// Presses answer(box) in each message box of the process until main is its
// only window again and takes input (the command is over, or waits in a box
// of its own). False when that does not happen within ms.
template <class F> bool AnswerMessageBoxes(DWORD pid, HWND main, F answer, DWORD ms = 60000)
{
    auto alone = [&] {
        std::vector<HWND> windows = TopLevelWindows(pid);
        return std::count(windows.begin(), windows.end(), main) == long(windows.size());
    };
    return WaitUntil(
        [&] {
            MessageBox box;
            if (WaitForMessageBox(pid, &box, 50)) {
                Press(box.hwnd, answer(box));
                WaitGone(box.hwnd, 5000);
            }
            return alone() && Drain(main, ms) && alone() && IsWindowEnabled(main);
        },
        ms);
}

// ---- What another process holds ----

// Counted inside the process by robot_hook.dll. Under Wine GetGuiResources
// is a stub (0, error 120) and GetProcessMemoryInfo leaves PrivateUsage at 0,
// so the counts are taken by walking the handle tables and the address space;
// what the system itself answers is kept beside them.
struct Census {
    UINT64 gdiObjects;      // live GDI handles (stock objects included)
    UINT64 gdiByType[16];   // the same by GetObjectType (OBJ_PEN 1 ... OBJ_COLORSPACE 14)
    UINT64 windows;         // windows of the process, children and hidden ones included
    UINT64 menus, icons, accelerators;   // the other USER objects
    UINT64 privateCommit;   // committed private memory (VirtualQuery over the address space)
    UINT64 pagefileUsage;   // GetProcessMemoryInfo: the private memory (Wine: anonymous resident)
    UINT64 privateUsage;    // GetProcessMemoryInfo's PrivateUsage as answered
    UINT64 guiGdi, guiUser, guiError;   // GetGuiResources and its last error
    UINT64 paints;          // WM_PAINT fetched by the window's thread while watched
    UINT64 UserObjects() const { return windows + menus + icons + accelerators; }
};

// Keeps robot_hook.dll hooked into the window's thread while it lives, so
// that it counts paints; Take() has it count what the process holds.
class Watcher {
public:
    explicit Watcher(HWND hwnd);
    ~Watcher();
    Watcher(const Watcher &) = delete;
    Watcher &operator=(const Watcher &) = delete;
    bool watching() const { return hook_ != NULL; }
    bool Take(Census *census, DWORD ms = 30000);

private:
    HWND hwnd_;
    HHOOK hook_ = NULL;
};

// ---- Pixels ----

// 24-bit picture of a window's client area as it stands on the screen.
class Bitmap {
public:
    int width() const { return width_; }
    int height() const { return height_; }
    bool empty() const { return pixels_.empty(); }
    COLORREF At(int x, int y) const;   // CLR_INVALID outside
    // Pixels of the rectangle [left, right) x [top, bottom), cut to the
    // bitmap, that match.
    template <class F> int Count(const RECT &rc, F match) const
    {
        int n = 0;
        for (int y = rc.top < 0 ? 0 : rc.top; y < rc.bottom && y < height_; ++y)
            for (int x = rc.left < 0 ? 0 : rc.left; x < rc.right && x < width_; ++x)
                if (match(At(x, y)))
                    ++n;
        return n;
    }
    int CountColour(const RECT &rc, COLORREF colour) const
    {
        return Count(rc, [colour](COLORREF c) { return c == colour; });
    }
    bool SaveBmp(const std::string &path) const;

private:
    friend Bitmap CaptureScreen(const RECT &rc);
    int width_ = 0, height_ = 0, stride_ = 0;
    std::vector<unsigned char> pixels_;   // bottom-up rows of blue, green, red
};
// Copies the client area from the screen: whatever covers it is captured too.
Bitmap CaptureClient(HWND hwnd);
// Copies a rectangle of the screen (screen coordinates), e.g. a whole window
// with its frame: robot::CaptureScreen(robot::WindowRect(hwnd)).
Bitmap CaptureScreen(const RECT &rc);

}  // namespace robot
