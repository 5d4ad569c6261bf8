#include "device.h"

#include "device/guard.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace hpc {

HMODULE g_hModule;

namespace {

// The exception code of a C++ throw in Microsoft's runtime, and one of our own.
const DWORD kCppExceptionCode = 0xE06D7363;
const DWORD kSoftwareExceptionCode = 0xE0000001;

std::string DefaultSettings()
{
    return "; The emulated handheld PC (see docs/device-emulator.md).\r\n"
           "[Device]\r\n"
           "Attached=1\r\n"
           "Processor=SH3\r\n"
           "FreeSpace=" + std::to_string(kDefaultFreeSpace) + "\r\n"
           "\r\n"
           "[Installed]\r\n"
           "\r\n"
           "[Faults]\r\n";
}

const char *const kSystemFolders[] = {"\\Windows", "\\Windows\\Programs", "\\Windows\\Desktop",
                                      "\\Program Files", "\\My Documents"};

void MakeDirs(const std::string &path)
{
    for (size_t i = 3; i < path.size(); ++i)
        if (path[i] == '\\')
            CreateDirectoryA(path.substr(0, i).c_str(), NULL);
    CreateDirectoryA(path.c_str(), NULL);
}

}  // namespace

void WriteThroughNull()
{
    static int *volatile s_pNowhere = nullptr;   // the compiler cannot know it is null
    *s_pNowhere = 0;
}

void FaultIfArmed(const char *function)
{
    if (GetSetting("Faults", "FaultIn", "") != function)
        return;
    const std::string kind = GetSetting("Faults", "FaultKind", "AccessViolation");
    Log(std::string(function) + ": fault: " + kind);
    if (kind == "Nested") {
        // A loader that guards a fault of its own, and then faults outside
        // its guard: the caller's guard sees only the second one.
        int fReturned = GuardedCall([](void *) { WriteThroughNull(); }, nullptr);
        Log(std::string(function) + ": caught its own fault: " + (fReturned ? "no" : "yes"));
        WriteThroughNull();
    } else if (kind == "CppThrow")
        RaiseException(kCppExceptionCode, EXCEPTION_NONCONTINUABLE, 0, NULL);
    else if (kind == "Software")
        RaiseException(kSoftwareExceptionCode, 0, 0, NULL);
    else
        WriteThroughNull();
}

std::string DeviceDir()
{
    char sz[MAX_PATH];
    DWORD cch = GetEnvironmentVariableA("HPC_DEVICE", sz, sizeof sz);
    if (cch > 0 && cch < sizeof sz)
        return sz;
    cch = GetModuleFileNameA(g_hModule, sz, sizeof sz);
    std::string path(sz, cch < sizeof sz ? cch : 0);
    size_t slash = path.find_last_of('\\');
    return (slash == std::string::npos ? std::string(".") : path.substr(0, slash)) + "\\device";
}

std::string SettingsPath() { return DeviceDir() + "\\device.ini"; }
std::string StoreRoot() { return DeviceDir() + "\\store"; }

std::string GetSetting(const char *section, const char *key, const char *def)
{
    char sz[1024];
    GetPrivateProfileStringA(section, key, def, sz, sizeof sz, SettingsPath().c_str());
    return sz;
}

void PutSetting(const char *section, const char *key, const char *value)
{
    WritePrivateProfileStringA(section, key, value, SettingsPath().c_str());
}

bool GetOptionalNumber(const char *section, const char *key, unsigned long *value)
{
    std::string text = GetSetting(section, key, "");
    if (text.empty())
        return false;
    char *end = nullptr;
    unsigned long n = strtoul(text.c_str(), &end, 10);
    if (*end != '\0' || text[0] == '-')
        return false;
    *value = n;
    return true;
}

unsigned long GetNumber(const char *section, const char *key, unsigned long def)
{
    unsigned long n;
    return GetOptionalNumber(section, key, &n) ? n : def;
}

bool PrepareDevice()
{
    std::string dir = DeviceDir();
    MakeDirs(dir);
    if (!DirExists(dir))
        return false;
    std::string settings = SettingsPath();
    if (!FileExists(settings)) {
        FILE *f = fopen(settings.c_str(), "wb");
        if (!f)
            return false;
        std::string text = DefaultSettings();
        fwrite(text.data(), 1, text.size(), f);
        fclose(f);
    }
    std::string root = StoreRoot();
    MakeDirs(root);
    for (const char *folder : kSystemFolders)
        CreateDirectoryA((root + folder).c_str(), NULL);
    return DirExists(root);
}

bool Attached() { return FileExists(SettingsPath()) && GetNumber("Device", "Attached", 1) != 0; }

bool StorePath(const std::string &devicePath, std::string *desktopPath)
{
    if (devicePath.empty() || devicePath[0] != '\\')
        return false;
    if (devicePath.size() > 1) {
        // Every part a plain name: no "..", ".", empty parts or characters
        // that mean something else on the desktop.
        size_t start = 1;
        for (;;) {
            size_t end = devicePath.find('\\', start);
            std::string part = devicePath.substr(start, end == std::string::npos ? std::string::npos : end - start);
            if (part.empty() || part == "." || part == ".." || part.find_first_of(":/*?\"<>|") != std::string::npos)
                return false;
            for (unsigned char c : part)
                if (c < 0x20)
                    return false;
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
    }
    *desktopPath = StoreRoot() + (devicePath.size() > 1 ? devicePath : std::string());
    return true;
}

void Log(const std::string &line)
{
    FILE *f = fopen((DeviceDir() + "\\device.log").c_str(), "ab");
    if (!f)
        return;
    fprintf(f, "%s\r\n", line.c_str());
    fclose(f);
}

std::string Quote(const std::string &text) { return "\"" + text + "\""; }

unsigned long FileSize(const std::string &path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)
        || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    return data.nFileSizeLow;
}

}  // namespace hpc
