// ppcload.dll of the emulated handheld PC: the loader connection, the
// device's answers and the load itself, which carries out a load script on
// the device's object store. See docs/device-emulator.md.
#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "device.h"
#include "device/loader.h"

using namespace hpc;

namespace {

bool g_fConnected;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Splits a line into arguments separated by blanks; a double-quoted argument
// may hold blanks. False for a stray or unbalanced quote.
bool SplitArgs(const std::string &text, std::vector<std::string> *args)
{
    args->clear();
    size_t i = 0;
    const size_t n = text.size();
    for (;;) {
        while (i < n && IsSpace(text[i]))
            ++i;
        if (i == n)
            return true;
        if (text[i] == '"') {
            size_t close = text.find('"', i + 1);
            if (close == std::string::npos)
                return false;
            args->push_back(text.substr(i + 1, close - i - 1));
            i = close + 1;
            if (i < n && !IsSpace(text[i]))
                return false;
        } else {
            size_t start = i;
            for (; i < n && !IsSpace(text[i]); ++i)
                if (text[i] == '"')
                    return false;
            args->push_back(text.substr(start, i - start));
        }
    }
}

// A file or shortcut name: no path, nothing the store would read otherwise.
bool IsPlainName(const std::string &name)
{
    return !name.empty() && name != "." && name != ".." && name.find_first_of("\\/:*?\"<>|") == std::string::npos;
}

// "." is the application directory; other relative paths are below it.
std::string DevicePath(const std::string &arg, const std::string &appDir)
{
    if (arg == ".")
        return appDir;
    if (!arg.empty() && arg[0] == '\\')
        return arg;
    return appDir + "\\" + arg;
}

std::string Parent(const std::string &path) { return path.substr(0, path.find_last_of('\\')); }

bool ReadFileBytes(const std::string &path, std::vector<char> *bytes)
{
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return false;
    bytes->clear();
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        bytes->insert(bytes->end(), buf, buf + n);
    bool ok = !ferror(f);
    fclose(f);
    return ok;
}

bool WriteFileBytes(const std::string &path, const char *data, size_t size)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = size == 0 || fwrite(data, 1, size, f) == size;
    return fclose(f) == 0 && ok;
}

// One command of the script, resolved before anything is written.
struct Step {
    enum Kind { kCopy, kMkdir, kShortcut } kind;
    std::string what;      // for the progress window and the log
    std::string source;    // copy: the desktop file
    std::string device;    // the device path made or written
    std::string target;    // the same, as a desktop path in the store
    std::string content;   // shortcut: the file's text
    long long cbDelta;     // bytes the step takes from the free space
};

// One call of Load: its command line, the planned steps, why it failed.
struct LoadJob {
    std::string cpu, app, appDir, user, company, script;
    std::vector<Step> steps;
    std::string error;
};

bool Fail(LoadJob *load, const std::string &error)
{
    load->error = error;
    return false;
}

bool ParseCommandLine(const char *cmdline, LoadJob *load)
{
    std::vector<std::string> f;
    if (!cmdline || !SplitArgs(cmdline, &f) || f.size() != 7)
        return Fail(load, "command line: expected 7 fields");
    load->cpu = f[0];
    load->app = f[1];
    load->appDir = f[2];
    load->user = f[4];
    load->company = f[5];
    load->script = f[6];
    std::string unused;
    if (load->cpu.empty() || !IsPlainName(load->app) || !StorePath(load->appDir, &unused)
        || load->appDir == "\\" || f[3].empty() || f[3].find_first_not_of("0123456789") != std::string::npos
        || load->script.empty())
        return Fail(load, "command line: bad field");
    return true;
}

// Reads the script and resolves every command up to "exit".
bool PlanScript(LoadJob *load)
{
    std::vector<char> bytes;
    if (!ReadFileBytes(load->script, &bytes))
        return Fail(load, "cannot read the script " + Quote(load->script));
    std::string text(bytes.begin(), bytes.end());
    // The device's build of a program: "name.<processor>" beside "name".
    std::string processor = GetSetting("Device", "Processor", "SH3");

    size_t pos = 0;
    for (int line = 1; pos < text.size(); ++line) {
        size_t eol = text.find('\n', pos);
        std::string raw = text.substr(pos, eol == std::string::npos ? std::string::npos : eol - pos);
        pos = eol == std::string::npos ? text.size() : eol + 1;
        std::vector<std::string> a;
        std::string where = "script line " + std::to_string(line) + ": ";
        if (!SplitArgs(raw, &a))
            return Fail(load, where + "unbalanced quotes");
        if (a.empty())
            continue;
        std::string word = a[0];
        a.erase(a.begin());
        Step step{};
        if (_stricmp(word.c_str(), "exit") == 0 && a.empty())
            return true;
        if (_stricmp(word.c_str(), "copy") == 0 && a.size() == 3 && IsPlainName(a[2])) {
            step.kind = Step::kCopy;
            std::string source = a[0] == "." ? a[2] : a[0] + "\\" + a[2];
            std::string build = source + "." + processor;
            step.source = FileExists(build) ? build : source;
            if (!FileExists(step.source))
                return Fail(load, where + "no desktop file " + Quote(source));
            step.device = DevicePath(a[1], load->appDir) + "\\" + a[2];
            step.what = "Copying " + a[2];
        } else if (_stricmp(word.c_str(), "mkdir") == 0 && a.size() == 1) {
            step.kind = Step::kMkdir;
            step.device = DevicePath(a[0], load->appDir);
            step.what = "Creating " + step.device;
        } else if (_stricmp(word.c_str(), "createShortcut") == 0 && a.size() == 4 && IsPlainName(a[1])
                   && IsPlainName(a[3])) {
            step.kind = Step::kShortcut;
            step.device = DevicePath(a[0], load->appDir) + "\\" + a[1];
            std::string quoted = Quote(DevicePath(a[2], load->appDir) + "\\" + a[3]);
            step.content = std::to_string(quoted.size()) + "#" + quoted;
            step.what = "Creating the shortcut " + a[1];
        } else {
            return Fail(load, where + "not a command: " + raw);
        }
        if (!StorePath(step.device, &step.target))
            return Fail(load, where + "not a device path: " + Quote(step.device));
        if (step.kind == Step::kCopy)
            step.cbDelta = (long long)FileSize(step.source) - (long long)FileSize(step.target);
        else if (step.kind == Step::kShortcut)
            step.cbDelta = (long long)step.content.size() - (long long)FileSize(step.target);
        load->steps.push_back(step);
    }
    return true;   // the end of the script ends it as "exit" would
}

// Carries out one step on the store.
bool RunStep(const Step &step, LoadJob *load)
{
    switch (step.kind) {
    case Step::kCopy: {
        if (!DirExists(Parent(step.target)))
            return Fail(load, "no device folder for " + Quote(step.device));
        std::vector<char> bytes;
        if (!ReadFileBytes(step.source, &bytes) || !WriteFileBytes(step.target, bytes.data(), bytes.size()))
            return Fail(load, "cannot copy " + Quote(step.source) + " to " + Quote(step.device));
        return true;
    }
    case Step::kMkdir:
        if (!DirExists(Parent(step.target)))
            return Fail(load, "no parent folder for " + Quote(step.device));
        if (!CreateDirectoryA(step.target.c_str(), NULL) && !DirExists(step.target))
            return Fail(load, "cannot create " + Quote(step.device));
        return true;
    case Step::kShortcut: {
        std::string targetDevice = step.content.substr(step.content.find('#') + 2);
        targetDevice.pop_back();
        std::string target;
        if (!StorePath(targetDevice, &target) || !FileExists(target))
            return Fail(load, "shortcut to a missing program " + Quote(targetDevice));
        if (!DirExists(Parent(step.target)))
            return Fail(load, "no device folder for " + Quote(step.device));
        if (!WriteFileBytes(step.target, step.content.data(), step.content.size()))
            return Fail(load, "cannot write " + Quote(step.device));
        return true;
    }
    }
    return false;
}

// The small window that shows what the load is doing, owned by the caller's.
class Progress {
public:
    Progress(HWND owner, const std::string &app)
    {
        static const char kClass[] = "HpcLoaderProgress";
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = g_hModule;
        wc.hCursor = LoadCursor(NULL, IDC_WAIT);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kClass;
        RegisterClassA(&wc);   // fails harmlessly when already registered

        const int cx = 360, cy = 110;
        RECT rc = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        if (owner && IsWindow(owner))
            GetWindowRect(owner, &rc);
        hwnd_ = CreateWindowExA(WS_EX_DLGMODALFRAME, kClass, ("Installing " + app).c_str(),
                                WS_POPUP | WS_CAPTION | WS_VISIBLE, (rc.left + rc.right - cx) / 2,
                                (rc.top + rc.bottom - cy) / 2, cx, cy, owner, NULL, g_hModule, NULL);
        text_ = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_LEFT, 14, 18, cx - 34, 40, hwnd_,
                                NULL, g_hModule, NULL);
        SendMessageA(text_, WM_SETFONT, WPARAM(GetStockObject(DEFAULT_GUI_FONT)), 0);
        UpdateWindow(hwnd_);
    }
    ~Progress() { Close(); }
    void Show(const std::string &text, DWORD msPause)
    {
        if (!hwnd_)
            return;
        SetWindowTextA(text_, text.c_str());
        UpdateWindow(hwnd_);
        DWORD start = GetTickCount();
        do {
            MSG msg;
            while (PeekMessageA(&msg, hwnd_, 0, 0, PM_REMOVE))
                DispatchMessageA(&msg);
            if (msPause)
                Sleep(10);
        } while (GetTickCount() - start < msPause);
    }
    void Close()
    {
        if (hwnd_)
            DestroyWindow(hwnd_);
        hwnd_ = NULL;
    }

private:
    HWND hwnd_ = NULL;
    HWND text_ = NULL;
};

// What Load returns; the device log shows the number ("Load = 5 (...)").
enum LoadResult {
    kLoadDone = 0,
    kLoadNotConnected = 1,
    kLoadFailsArmed = 2,       // [Faults] LoadFails
    kLoadBadCommandLine = 3,
    kLoadBadScript = 4,        // unreadable, an unknown command, a missing file, a bad path
    kLoadNoRoom = 5,
    kLoadDetached = 6,         // [Faults] DetachAfter
    kLoadStepFailed = 7,       // a command could not be carried out
};

int Finish(LoadResult result, const LoadJob &load)
{
    Log("Load = " + std::to_string(result) + (load.error.empty() ? std::string() : " (" + load.error + ")"));
    return result;
}

int RunLoad(HWND owner, const char *cmdline)
{
    LoadJob load;
    Log("Load " + Quote(cmdline ? cmdline : "(null)"));
    if (!g_fConnected)
        return Finish(kLoadNotConnected, load);
    if (GetNumber("Faults", "LoadFails", 0) != 0) {
        load.error = "fault: LoadFails";
        return Finish(kLoadFailsArmed, load);
    }
    if (!ParseCommandLine(cmdline, &load))
        return Finish(kLoadBadCommandLine, load);
    if (!PlanScript(&load))
        return Finish(kLoadBadScript, load);

    long long cbNeeded = 0;
    for (const Step &step : load.steps)
        cbNeeded += step.cbDelta;
    long long cbFree = (long long)GetNumber("Device", "FreeSpace", kDefaultFreeSpace);
    if (cbNeeded > cbFree) {
        load.error = "needs " + std::to_string(cbNeeded) + " bytes, " + std::to_string(cbFree) + " free";
        return Finish(kLoadNoRoom, load);
    }

    // A load in progress leaves no complete application behind until it ends.
    PutSetting("Installed", load.app.c_str(), NULL);
    std::string appDir;
    StorePath(load.appDir, &appDir);
    for (size_t i = StoreRoot().size() + 1; i <= appDir.size(); ++i)
        if (i == appDir.size() || appDir[i] == '\\')
            CreateDirectoryA(appDir.substr(0, i).c_str(), NULL);

    Progress progress(owner, load.app);
    DWORD msPause = GetNumber("Device", "CommandDelay", 0);
    unsigned long detachAfter = 0, faultAfter = 0;
    bool fDetach = GetOptionalNumber("Faults", "DetachAfter", &detachAfter);
    bool fFault = GetOptionalNumber("Faults", "AccessViolationAfter", &faultAfter);
    for (size_t i = 0; i <= load.steps.size(); ++i) {
        if (fDetach && i == detachAfter) {
            PutSetting("Device", "Attached", "0");
            g_fConnected = false;
            load.error = "fault: the device detached after " + std::to_string(i) + " commands";
            return Finish(kLoadDetached, load);
        }
        if (fFault && i == faultAfter) {
            progress.Close();
            Log("Load: fault: access violation after " + std::to_string(i) + " commands");
            WriteThroughNull();
        }
        if (i == load.steps.size())
            break;
        const Step &step = load.steps[i];
        progress.Show(step.what, msPause);
        if (!RunStep(step, &load))
            return Finish(kLoadStepFailed, load);
        cbFree -= step.cbDelta;
        PutSetting("Device", "FreeSpace", std::to_string(cbFree < 0 ? 0 : cbFree).c_str());
    }
    PutSetting("Installed", load.app.c_str(), load.appDir.c_str());
    return Finish(kLoadDone, load);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE hinst, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        g_hModule = hinst;
    return TRUE;
}

extern "C" {

int WINAPI Load_Init(void)
{
    FaultIfArmed("Load_Init");
    int result = !PrepareDevice() ? 1 : !Attached() ? 2 : 0;
    g_fConnected = result == 0;
    Log("Load_Init = " + std::to_string(result));
    return result;
}

int WINAPI Load_AlreadyInstalled(LPCSTR app)
{
    FaultIfArmed("Load_AlreadyInstalled");
    int result = g_fConnected && app && !GetSetting("Installed", app, "").empty() ? 1 : 0;
    Log("Load_AlreadyInstalled " + Quote(app ? app : "(null)") + " = " + std::to_string(result));
    return result;
}

BOOL WINAPI Load_PegCpuType(LPSTR buf16)
{
    FaultIfArmed("Load_PegCpuType");
    std::string name = GetSetting("Device", "Processor", "SH3");
    if (!g_fConnected || !buf16 || name.empty()) {
        Log("Load_PegCpuType = 0");
        return FALSE;
    }
    // A name of 16 characters or more fills the whole buffer, unterminated.
    if (name.size() >= 16)
        memcpy(buf16, name.data(), 16);
    else
        memcpy(buf16, name.c_str(), name.size() + 1);
    Log("Load_PegCpuType = 1 " + Quote(name.substr(0, 16)));
    return TRUE;
}

DWORD WINAPI Load_PegFreeSpace(void)
{
    FaultIfArmed("Load_PegFreeSpace");
    DWORD cb = g_fConnected ? DWORD(GetNumber("Device", "FreeSpace", kDefaultFreeSpace)) : 0;
    Log("Load_PegFreeSpace = " + std::to_string(cb));
    return cb;
}

int WINAPI Load(HWND owner, LPCSTR cmdline)
{
    FaultIfArmed("Load");
    return RunLoad(owner, cmdline);
}

void WINAPI Load_Exit(void)
{
    g_fConnected = false;
    Log("Load_Exit");
}

}  // extern "C"
