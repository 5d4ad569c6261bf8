#include "robot.h"

#include <cstdio>
#include <cstring>
#include <map>

namespace robot {

namespace {

std::string BuildEnvironment(const std::vector<std::pair<std::string, std::string>> &additions)
{
    // Case-insensitive names, as Windows keeps them; sorted on the way out.
    struct Less {
        bool operator()(const std::string &a, const std::string &b) const { return _stricmp(a.c_str(), b.c_str()) < 0; }
    };
    std::map<std::string, std::string, Less> vars;
    char *block = GetEnvironmentStringsA();
    for (const char *p = block; *p; p += strlen(p) + 1) {
        const char *eq = strchr(p + 1, '=');
        if (eq)
            vars[std::string(p, eq - p)] = eq + 1;
    }
    FreeEnvironmentStringsA(block);
    for (const auto &kv : additions)
        vars[kv.first] = kv.second;
    std::string env;
    for (const auto &kv : vars) {
        env += kv.first + "=" + kv.second;
        env.push_back('\0');
    }
    env.push_back('\0');
    return env;
}

}  // namespace

Process::Process(const std::string &exe, const Options &options)
{
    std::string cmd = "\"" + exe + "\"";
    if (!options.args.empty())
        cmd += " " + options.args;
    std::string env = BuildEnvironment(options.env);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = WORD(options.show);
    PROCESS_INFORMATION pi = {};
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back('\0');
    if (CreateProcessA(exe.c_str(), line.data(), NULL, NULL, FALSE, 0, &env[0],
                       options.cwd.empty() ? NULL : options.cwd.c_str(), &si, &pi)) {
        CloseHandle(pi.hThread);
        handle_ = pi.hProcess;
        pid_ = pi.dwProcessId;
        if (options.waitForInputIdle)
            WaitForInputIdle(handle_, 5000);
    }
}

Process::~Process() { Kill(); }

Process::Process(Process &&other) noexcept : handle_(other.handle_), pid_(other.pid_)
{
    other.handle_ = NULL;
    other.pid_ = 0;
}

Process &Process::operator=(Process &&other) noexcept
{
    if (this != &other) {
        Kill();
        handle_ = other.handle_;
        pid_ = other.pid_;
        other.handle_ = NULL;
        other.pid_ = 0;
    }
    return *this;
}

bool Process::Running() const { return handle_ && WaitForSingleObject(handle_, 0) == WAIT_TIMEOUT; }

bool Process::Wait(DWORD ms, DWORD *code)
{
    if (!handle_)
        return false;
    if (WaitForSingleObject(handle_, ms) != WAIT_OBJECT_0)
        return false;
    if (code)
        GetExitCodeProcess(handle_, code);
    return true;
}

void Process::Kill()
{
    if (!handle_)
        return;
    if (Running()) {
        TerminateProcess(handle_, 999);
        WaitForSingleObject(handle_, 5000);
    }
    CloseHandle(handle_);
    handle_ = NULL;
}

std::string Text(HWND hwnd)
{
    // WM_GETTEXT, marshalled across processes; no length limit of our own.
    // A program that hangs or has crashed must not hang the test with it.
    DWORD_PTR cch = 0, got = 0;
    if (!SendMessageTimeoutA(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &cch))
        return std::string();
    std::string text(size_t(cch) + 1, '\0');
    if (!SendMessageTimeoutA(hwnd, WM_GETTEXT, WPARAM(text.size()), LPARAM(&text[0]), SMTO_ABORTIFHUNG, 5000, &got))
        return std::string();
    text.resize(size_t(got));
    return text;
}

std::string ClassOf(HWND hwnd)
{
    char sz[256];
    int n = GetClassNameA(hwnd, sz, sizeof sz);
    return std::string(sz, n > 0 ? n : 0);
}

std::string ItemText(HWND dialog, int id)
{
    HWND item = GetDlgItem(dialog, id);
    return item ? Text(item) : std::string();
}

RECT WindowRect(HWND hwnd)
{
    RECT rc = {};
    GetWindowRect(hwnd, &rc);
    return rc;
}

namespace {

struct TopLevelSearch {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND hwnd, LPARAM lp)
{
    TopLevelSearch *search = reinterpret_cast<TopLevelSearch *>(lp);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner == search->pid && IsWindowVisible(hwnd))
        search->found.push_back(hwnd);
    return TRUE;
}

}  // namespace

std::vector<HWND> TopLevelWindows(DWORD pid)
{
    TopLevelSearch search{pid, {}};
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForWindow(DWORD pid, const char *cls, const char *title, DWORD ms)
{
    HWND found = NULL;
    WaitUntil(
        [&] {
            for (HWND hwnd : TopLevelWindows(pid)) {
                if (cls && ClassOf(hwnd) != cls)
                    continue;
                if (title && Text(hwnd) != title)
                    continue;
                found = hwnd;
                return true;
            }
            return false;
        },
        ms);
    return found;
}

HWND WaitForDialog(DWORD pid, const char *title, DWORD ms) { return WaitForWindow(pid, "#32770", title, ms); }

bool WaitGone(HWND hwnd, DWORD ms)
{
    return WaitUntil([&] { return !IsWindow(hwnd) || !IsWindowVisible(hwnd); }, ms);
}

// A message box has its text in static 0xFFFF and its icon in static 1088
// (there even without an icon); a dialog's unnamed labels also use 0xFFFF.
bool IsMessageBox(HWND hwnd)
{
    return ClassOf(hwnd) == "#32770" && GetDlgItem(hwnd, 0xFFFF) != NULL && GetDlgItem(hwnd, 1088) != NULL;
}

bool WaitForMessageBox(DWORD pid, MessageBox *box, DWORD ms, const char *caption)
{
    HWND found = NULL;
    WaitUntil(
        [&] {
            for (HWND hwnd : TopLevelWindows(pid)) {
                if (IsMessageBox(hwnd) && (!caption || Text(hwnd) == caption)) {
                    found = hwnd;
                    return true;
                }
            }
            return false;
        },
        ms);
    if (!found)
        return false;
    box->hwnd = found;
    box->owner = GetWindow(found, GW_OWNER);
    box->caption = Text(found);
    box->text = ItemText(found, 0xFFFF);
    box->buttons.clear();
    static const int ids[] = {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO};
    for (int id : ids) {
        HWND button = GetDlgItem(found, id);
        if (button && IsWindowVisible(button))
            box->buttons.emplace_back(id, Text(button));
    }
    HWND icon = GetDlgItem(found, 1088);
    box->hasIcon = icon && SendMessageA(icon, STM_GETICON, 0, 0) != 0;
    return true;
}

void Press(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(GetDlgItem(dialog, id)));
}

void SetItemText(HWND dialog, int id, const std::string &text)
{
    SendMessageA(GetDlgItem(dialog, id), WM_SETTEXT, 0, LPARAM(text.c_str()));
}

bool IsChecked(HWND dialog, int id) { return SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void SetChecked(HWND dialog, int id, bool checked)
{
    SendMessageA(GetDlgItem(dialog, id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Command(HWND hwnd, int id) { PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

}  // namespace robot

namespace robot {

void MouseMove(HWND hwnd, int x, int y) { PostMessageA(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(x, y)); }

void MouseDown(HWND hwnd, int x, int y)
{
    PostMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    PostMessageA(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

namespace {

// The marker travels through the window's queue behind everything posted
// before it; robot_hook.dll, hooked into the window's thread, signals an
// event when the thread fetches it.
// Hooks robot_hook.dll into the window's thread, or NULL.
HHOOK HookThreadOf(HWND hwnd)
{
    DWORD tid = GetWindowThreadProcessId(hwnd, NULL);
    static HMODULE hookModule = LoadLibraryA("robot_hook.dll");
    static HOOKPROC hookProc =
        hookModule ? reinterpret_cast<HOOKPROC>(GetProcAddress(hookModule, "RobotGetMessageHook")) : nullptr;
    if (!tid || !hookProc)
        return NULL;
    return SetWindowsHookExA(WH_GETMESSAGE, hookProc, hookModule, tid);
}

unsigned long long NextMarker()
{
    static unsigned long long sequence = GetCurrentProcessId() * 1000000ull;
    return ++sequence;
}

bool DrainOnce(HWND hwnd, DWORD ms)
{
    HHOOK hook = HookThreadOf(hwnd);
    if (!hook)
        return false;
    static UINT marker = RegisterWindowMessageA("robot-drain-marker");
    unsigned long long n = NextMarker();
    char name[64];
    snprintf(name, sizeof name, "robot-drain-%llu", n);
    HANDLE event = CreateEventA(NULL, TRUE, FALSE, name);
    bool seen = false;
    if (event && PostMessageA(hwnd, marker, WPARAM(n), 0)) {
        // Pump our own queue meanwhile: the system may call into this thread.
        seen = WaitUntil([&] { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0 || !IsWindow(hwnd); }, ms)
               && WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
    }
    if (event)
        CloseHandle(event);
    UnhookWindowsHookEx(hook);
    return seen;
}

}  // namespace

bool Drain(HWND hwnd, DWORD ms) { return DrainOnce(hwnd, ms) && DrainOnce(hwnd, ms); }

Watcher::Watcher(HWND hwnd) : hwnd_(hwnd), hook_(HookThreadOf(hwnd)) {}

Watcher::~Watcher()
{
    if (hook_)
        UnhookWindowsHookEx(hook_);
}

bool Watcher::Take(Census *census, DWORD ms)
{
    static UINT marker = RegisterWindowMessageA("robot-census-marker");
    unsigned long long n = NextMarker();
    char name[64];
    snprintf(name, sizeof name, "robot-census-%llu", n);
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, sizeof(Census), name);
    snprintf(name, sizeof name, "robot-census-%llu-done", n);
    HANDLE event = CreateEventA(NULL, TRUE, FALSE, name);
    bool taken = false;
    if (hook_ && mapping && event && PostMessageA(hwnd_, marker, WPARAM(n), 0)
        && WaitUntil([&] { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0 || !IsWindow(hwnd_); }, ms)
        && WaitForSingleObject(event, 0) == WAIT_OBJECT_0) {
        const Census *view = static_cast<const Census *>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, sizeof(Census)));
        if (view) {
            *census = *view;
            UnmapViewOfFile(view);
            taken = true;
        }
    }
    if (event)
        CloseHandle(event);
    if (mapping)
        CloseHandle(mapping);
    return taken;
}

void PostKey(HWND hwnd, UINT vk)
{
    UINT scan = MapVirtualKeyA(vk, 0);
    PostMessageA(hwnd, WM_KEYDOWN, vk, 1 | (scan << 16));
    PostMessageA(hwnd, WM_KEYUP, vk, 1 | (scan << 16) | 0xC0000000u);
}

bool TypeKeys(HWND hwnd, UINT vk, bool alt, bool ctrl, bool shift, int repeats)
{
    // The foreground thread gets the keys; make sure it is the window's.
    if (!WaitUntil(
            [&] {
                SetForegroundWindow(hwnd);
                return GetForegroundWindow() == hwnd;
            },
            3000))
        return false;
    std::vector<INPUT> inputs;
    auto key = [&](UINT k, bool up) {
        INPUT in = {};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = WORD(k);
        in.ki.wScan = WORD(MapVirtualKeyA(k, 0));
        in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(in);
    };
    if (ctrl)
        key(VK_CONTROL, false);
    if (shift)
        key(VK_SHIFT, false);
    if (alt)
        key(VK_MENU, false);
    for (int i = 0; i <= repeats; ++i)
        key(vk, false);
    key(vk, true);
    if (alt)
        key(VK_MENU, true);
    if (shift)
        key(VK_SHIFT, true);
    if (ctrl)
        key(VK_CONTROL, true);
    return SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
}

void CloseBox(HWND hwnd) { PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0); }

HWND FocusOf(HWND hwnd)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, NULL), &info))
        return NULL;
    return info.hwndFocus;
}

LRESULT SendWithText(HWND hwnd, UINT msg, WPARAM wParam, const std::string &text)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid);
    if (!process)
        return 0;
    LRESULT result = 0;
    void *remote = VirtualAllocEx(process, NULL, text.size() + 1, MEM_COMMIT, PAGE_READWRITE);
    if (remote && WriteProcessMemory(process, remote, text.c_str(), text.size() + 1, NULL))
        result = SendMessageA(hwnd, msg, wParam, reinterpret_cast<LPARAM>(remote));
    if (remote)
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return result;
}

COLORREF Bitmap::At(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return CLR_INVALID;
    const unsigned char *p = &pixels_[size_t(height_ - 1 - y) * stride_ + size_t(x) * 3];
    return RGB(p[2], p[1], p[0]);
}

bool Bitmap::SaveBmp(const std::string &path) const
{
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width_;
    info.biHeight = height_;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biSizeImage = DWORD(pixels_.size());
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + info.biSizeImage;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written;
    bool ok = WriteFile(h, &file, sizeof file, &written, NULL) && WriteFile(h, &info, sizeof info, &written, NULL)
              && WriteFile(h, pixels_.data(), DWORD(pixels_.size()), &written, NULL);
    CloseHandle(h);
    return ok;
}

Bitmap CaptureScreen(const RECT &rc)
{
    Bitmap bmp;
    int cx = rc.right - rc.left, cy = rc.bottom - rc.top;
    if (cx <= 0 || cy <= 0)
        return bmp;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = cx;
    info.bmiHeader.biHeight = cy;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    HDC screen = GetDC(NULL);
    HDC mem = CreateCompatibleDC(screen);
    void *bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    if (dib && bits) {
        HGDIOBJ old = SelectObject(mem, dib);
        BitBlt(mem, 0, 0, cx, cy, screen, rc.left, rc.top, SRCCOPY);
        GdiFlush();
        bmp.width_ = cx;
        bmp.height_ = cy;
        bmp.stride_ = (cx * 3 + 3) & ~3;
        const unsigned char *p = static_cast<const unsigned char *>(bits);
        bmp.pixels_.assign(p, p + size_t(bmp.stride_) * cy);
        SelectObject(mem, old);
    }
    if (dib)
        DeleteObject(dib);
    DeleteDC(mem);
    ReleaseDC(NULL, screen);
    return bmp;
}

Bitmap CaptureClient(HWND hwnd)
{
    RECT rc;
    if (!GetClientRect(hwnd, &rc))
        return Bitmap();
    POINT origin = {0, 0};
    ClientToScreen(hwnd, &origin);
    OffsetRect(&rc, origin.x, origin.y);
    return CaptureScreen(rc);
}

}  // namespace robot
