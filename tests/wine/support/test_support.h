// Helpers shared by the tests that run under Wine.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "dist_books.h"
#include "file_exists.h"
#include "manifest.h"

namespace testing_support {

// Directory of the running test program: the top of the Windows build tree,
// where setup.exe, setup-image.exe and the device libraries are.
std::string BuildDir();
std::string BuildFile(const std::string &name);

// The source tree, as a Windows path.
std::string SourceDir();
std::string SourceFile(const std::string &relative);   // forward slashes allowed

// The sample distribution's payload as dist/manifest.txt lists it, in its
// order: source file (relative to dist/), directory in the payload, name. Read
// by the manifest reader (tools/manifest.h); a problem fails the test. Its
// books: dist_books.h.
using DistRecord = ManifestRecord;
std::vector<DistRecord> DistManifest();

// A fresh, empty directory below the temp folder; removed with everything in
// it when the object goes away.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::string &path() const { return path_; }
    std::string operator/(const std::string &name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

void RemoveTree(const std::string &path);
// Calls visit(name, isDirectory) for each entry of dir but "." and ".."; false
// when dir cannot be read.
bool ForEachEntry(const std::string &dir, const std::function<void(const std::string &, bool)> &visit);

// Whether the long forms of the robustness checks run (SETUP_ROBUSTNESS=long).
inline bool LongForm()
{
    const char *mode = getenv("SETUP_ROBUSTNESS");
    return mode != nullptr && std::string(mode) == "long";
}

// The host's path of a file or directory (drive Z: or any other), or "".
std::string UnixPath(const std::string &path);
// Runs a script of the host's shell (no double quotes in it) and returns its
// exit status; -1 when it could not be started or did not end in time.
int RunUnixShell(const std::string &script, DWORD ms = 10000);

// A directory made immutable (chattr +i) for the life of the object or until
// Clear(): nothing can be created, renamed or removed in it, not even by
// root, as which Wine runs here (and so ignores read-only attributes and Unix
// permissions alike). On Windows, an access-control entry that denies writing
// does the same.
class ScopedImmutable {
public:
    explicit ScopedImmutable(const std::string &dir);
    ~ScopedImmutable() { Clear(); }
    ScopedImmutable(const ScopedImmutable &) = delete;
    ScopedImmutable &operator=(const ScopedImmutable &) = delete;
    // Whether it took effect: no file can be made in the directory.
    bool on() const { return on_; }
    // Makes the directory writable again; true when a file can be made there.
    bool Clear();

private:
    std::string dir_;
    bool set_ = false, on_ = false;
};
// Every file and directory below root, relative, directories ending in '\'.
std::set<std::string> Tree(const std::string &root, const std::string &prefix = "");
using hpc::DirExists;     // emulator/file_exists.h
using hpc::FileExists;
std::vector<unsigned char> ReadBytes(const std::string &path);
std::string ReadText(const std::string &path);   // the raw bytes as a string
void WriteBytes(const std::string &path, const void *data, size_t size);
void WriteText(const std::string &path, const std::string &text);

// Sets (or deletes, when value is null) a registry value for the life of the
// object and puts the previous state back afterwards.
class ScopedRegValue {
public:
    ScopedRegValue(HKEY root, const std::string &key, const std::string &name);
    ~ScopedRegValue();
    void Set(DWORD type, const void *data, DWORD size);
    void SetString(const std::string &value) { Set(REG_SZ, value.c_str(), DWORD(value.size() + 1)); }
    void Delete();
    void DeleteKey();   // removes the whole key (must hold no subkeys)

private:
    HKEY root_;
    std::string key_, name_;
    bool keyExisted_ = false, valueExisted_ = false;
    DWORD type_ = 0;
    std::vector<unsigned char> data_;
};

}  // namespace testing_support
