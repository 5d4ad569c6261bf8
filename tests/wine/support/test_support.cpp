#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "robot.h"

namespace testing_support {

std::string BuildDir()
{
    char sz[MAX_PATH];
    DWORD cch = GetModuleFileNameA(NULL, sz, sizeof sz);
    std::string path(sz, cch);
    return path.substr(0, path.find_last_of('\\'));
}

std::string BuildFile(const std::string &name) { return BuildDir() + "\\" + name; }

std::string SourceDir()
{
    std::string path = std::string("Z:") + SETUP_SOURCE_DIR_UNIX;
    for (char &c : path)
        if (c == '/')
            c = '\\';
    return path;
}

std::string SourceFile(const std::string &relative)
{
    std::string path = SourceDir() + "\\" + relative;
    for (char &c : path)
        if (c == '/')
            c = '\\';
    return path;
}

std::vector<DistRecord> DistManifest()
{
    return ReadDistManifest(SourceFile("dist/manifest.txt"));
}

TempDir::TempDir()
{
    char szTemp[MAX_PATH];
    GetTempPathA(sizeof szTemp, szTemp);
    static unsigned s_counter;
    for (;;) {
        char sz[MAX_PATH];
        snprintf(sz, sizeof sz, "%ssetup-test-%lu-%u", szTemp, GetCurrentProcessId(), ++s_counter);
        if (CreateDirectoryA(sz, NULL)) {
            path_ = sz;
            return;
        }
    }
}

TempDir::~TempDir() { RemoveTree(path_); }

bool ForEachEntry(const std::string &dir, const std::function<void(const std::string &, bool)> &visit)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    do {
        std::string name = fd.cFileName;
        if (name != "." && name != "..")
            visit(name, (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return true;
}

void RemoveTree(const std::string &path)
{
    ForEachEntry(path, [&](const std::string &name, bool isDir) {
        std::string child = path + "\\" + name;
        SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (isDir)
            RemoveTree(child);
        else
            DeleteFileA(child.c_str());
    });
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(path.c_str());
}

std::set<std::string> Tree(const std::string &root, const std::string &prefix)
{
    std::set<std::string> found;
    ForEachEntry(root, [&](const std::string &name, bool isDir) {
        found.insert(prefix + name + (isDir ? "\\" : ""));
        if (isDir)
            for (const std::string &s : Tree(root + "\\" + name, prefix + name + "\\"))
                found.insert(s);
    });
    return found;
}

std::vector<unsigned char> ReadBytes(const std::string &path)
{
    std::vector<unsigned char> bytes;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f) {
        ADD_FAILURE() << "cannot open " << path;
        return bytes;
    }
    unsigned char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        bytes.insert(bytes.end(), buf, buf + n);
    fclose(f);
    return bytes;
}

std::string ReadText(const std::string &path)
{
    std::vector<unsigned char> bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

void WriteBytes(const std::string &path, const void *data, size_t size)
{
    FILE *f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << "cannot create " << path;
    if (size)
        fwrite(data, 1, size, f);
    fclose(f);
}

void WriteText(const std::string &path, const std::string &text) { WriteBytes(path, text.data(), text.size()); }

ScopedRegValue::ScopedRegValue(HKEY root, const std::string &key, const std::string &name)
    : root_(root), key_(key), name_(name)
{
    HKEY h;
    if (RegOpenKeyExA(root_, key_.c_str(), 0, KEY_READ, &h) == ERROR_SUCCESS) {
        keyExisted_ = true;
        DWORD size = 0;
        if (RegQueryValueExA(h, name_.c_str(), NULL, &type_, NULL, &size) == ERROR_SUCCESS) {
            valueExisted_ = true;
            data_.resize(size);
            RegQueryValueExA(h, name_.c_str(), NULL, &type_, data_.data(), &size);
        }
        RegCloseKey(h);
    }
}

ScopedRegValue::~ScopedRegValue()
{
    if (!keyExisted_) {
        RegDeleteKeyA(root_, key_.c_str());
        return;
    }
    HKEY h;
    if (RegCreateKeyExA(root_, key_.c_str(), 0, NULL, 0, KEY_WRITE, NULL, &h, NULL) != ERROR_SUCCESS)
        return;
    if (valueExisted_)
        RegSetValueExA(h, name_.c_str(), 0, type_, data_.data(), DWORD(data_.size()));
    else
        RegDeleteValueA(h, name_.c_str());
    RegCloseKey(h);
}

void ScopedRegValue::Set(DWORD type, const void *data, DWORD size)
{
    HKEY h;
    ASSERT_EQ(RegCreateKeyExA(root_, key_.c_str(), 0, NULL, 0, KEY_WRITE, NULL, &h, NULL), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(h, name_.c_str(), 0, type, static_cast<const BYTE *>(data), size), ERROR_SUCCESS);
    RegCloseKey(h);
}

void ScopedRegValue::Delete()
{
    HKEY h;
    if (RegOpenKeyExA(root_, key_.c_str(), 0, KEY_WRITE, &h) == ERROR_SUCCESS) {
        RegDeleteValueA(h, name_.c_str());
        RegCloseKey(h);
    }
}

void ScopedRegValue::DeleteKey() { RegDeleteKeyA(root_, key_.c_str()); }

// The host's path of a file or directory (drive Z: or any other), or "".
std::string UnixPath(const std::string &path)
{
    typedef char *(CDECL * UnixFileName)(LPCWSTR);
    UnixFileName unixFileName = reinterpret_cast<UnixFileName>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    WCHAR wide[MAX_PATH];
    std::string result;
    if (unixFileName && MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH)) {
        char *psz = unixFileName(wide);
        if (psz) {
            result = psz;
            HeapFree(GetProcessHeap(), 0, psz);
        }
    }
    return result;
}

// Runs a script of the host's shell (no double quotes in it) and returns its
// exit status; -1 when it could not be started or did not end in time. A
// Unix program's handle cannot be waited for: the script leaves its status
// in a file when it is done.
int RunUnixShell(const std::string &script, DWORD ms)
{
    char szTemp[MAX_PATH];
    if (!GetTempPathA(sizeof szTemp, szTemp))
        return -1;
    const std::string mark = std::string(szTemp) + "unix-status-" + std::to_string(GetCurrentProcessId()) + ".txt";
    DeleteFileA(mark.c_str());
    const std::string unixMark = UnixPath(mark);
    if (unixMark.empty())
        return -1;
    std::string cmd = "/bin/sh -c \"" + script + "; echo $? > '" + unixMark + "'\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back('\0');
    if (!CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
        return -1;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    std::string status;
    robot::WaitUntil(
        [&] {
            status = FileExists(mark) ? ReadText(mark) : "";
            return status.find('\n') != std::string::npos;
        },
        ms);
    DeleteFileA(mark.c_str());
    return status.empty() ? -1 : atoi(status.c_str());
}

// Whether a file can be made in dir now.
static bool CanCreateIn(const std::string &dir)
{
    const std::string probe = dir + "\\probe.tmp";
    HANDLE h = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    DeleteFileA(probe.c_str());
    return true;
}

ScopedImmutable::ScopedImmutable(const std::string &dir) : dir_(dir)
{
    const std::string unixDir = UnixPath(dir);
    set_ = !unixDir.empty() && RunUnixShell("/usr/bin/chattr +i '" + unixDir + "'") == 0;
    on_ = set_ && !CanCreateIn(dir);
}

bool ScopedImmutable::Clear()
{
    if (set_)
        RunUnixShell("/usr/bin/chattr -i '" + UnixPath(dir_) + "'");
    set_ = on_ = false;
    return CanCreateIn(dir_);
}

}  // namespace testing_support
