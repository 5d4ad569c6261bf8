#include "robot.h"

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
    LRESULT cch = SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0);
    std::string text(size_t(cch) + 1, '\0');
    LRESULT got = SendMessageA(hwnd, WM_GETTEXT, WPARAM(text.size()), LPARAM(&text[0]));
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

std::vector<HWND> TopLevelWindows(DWORD pid)
{
    struct Ctx {
        DWORD pid;
        std::vector<HWND> found;
    } ctx{pid, {}};
    EnumWindows(
        [](HWND hwnd, LPARAM lp) -> BOOL {
            Ctx *c = reinterpret_cast<Ctx *>(lp);
            DWORD owner = 0;
            GetWindowThreadProcessId(hwnd, &owner);
            if (owner == c->pid && IsWindowVisible(hwnd))
                c->found.push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&ctx));
    return ctx.found;
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

bool IsMessageBox(HWND hwnd) { return ClassOf(hwnd) == "#32770" && GetDlgItem(hwnd, 0xFFFF) != NULL; }

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
